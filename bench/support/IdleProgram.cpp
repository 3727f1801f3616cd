// A QtCore program that starts its application object and ends: what any such program
// pays before its first line of work.
#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return 0;
}
