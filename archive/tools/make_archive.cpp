// Build step: writes the empty archive database that ships in data/.
#include "archive/ArchiveStore.h"

#include <QString>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <archive file>\n", argv[0]);
        return 2;
    }
    try {
        ArchiveStore::create(QString::fromLocal8Bit(argv[1]));
    } catch (const ArchiveError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
