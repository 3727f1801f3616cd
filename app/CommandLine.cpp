#include "app/CommandLine.h"

#include <QUrl>

#ifndef KV_VERSION
#define KV_VERSION "0"
#endif

namespace {

// Options that QGuiApplication and QApplication take for themselves; the first group
// is followed by a value.
const char *const QtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle", "session", "display", "geometry", "style", "stylesheet",
    "name", "title", "qmljsdebugger"};
const char *const QtFlags[] = {"reverse", "widgetcount", "nograb", "dograb"};

// 0: not one of Qt's options; 1: a flag or "-name=value"; 2: followed by its value.
int qtOptionLength(const QString &arg)
{
    QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
    const int equals = name.indexOf(QLatin1Char('='));
    const bool valueAttached = equals >= 0;
    if (valueAttached)
        name.truncate(equals);
    for (const char *option : QtOptionsWithValue)
        if (name == QLatin1String(option))
            return valueAttached ? 1 : 2;
    for (const char *flag : QtFlags)
        if (name == QLatin1String(flag) && !valueAttached)
            return 1;
    return 0;
}

} // namespace

QString SubscribeAddressFrom(const QString &text)
{
    QString address = text.trimmed();
    if (address.startsWith(QLatin1String("feed:"), Qt::CaseInsensitive)) {
        address = address.mid(5);
        if (address.startsWith(QLatin1String("//")))
            address = QStringLiteral("http:") + address;
    }
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return QString();
    return address;
}

CommandLine ParseCommandLine(const QStringList &args)
{
    CommandLine line;
    const QString first = args.value(0);
    const struct
    {
        const char *name;
        CommandLine::Mode mode;
    } tools[] = {{"--check-tree", CommandLine::Mode::CheckTree},
                 {"--fetch", CommandLine::Mode::Fetch},
                 {"--sync", CommandLine::Mode::Sync},
                 {"--import-opml", CommandLine::Mode::ImportOpml},
                 {"--export-opml", CommandLine::Mode::ExportOpml}};
    for (const auto &tool : tools) {
        if (first == QLatin1String(tool.name)) {
            line.mode = tool.mode;
            line.toolArguments = args.mid(1);
            return line;
        }
    }

    line.startHidden = first == QLatin1String("hid");
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            line.mode = CommandLine::Mode::Help;
            return line;
        }
        if (arg == QLatin1String("--version")) {
            line.mode = CommandLine::Mode::Version;
            return line;
        }
        if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            const int length = qtOptionLength(arg);
            if (length == 0) {
                line.mode = CommandLine::Mode::UsageError;
                line.badArgument = arg;
                return line;
            }
            i += length - 1;
            continue;
        }
        // Other words are left alone, as "HID" or "/hid" always were: they start the window.
        if (line.subscribeAddress.isEmpty())
            line.subscribeAddress = SubscribeAddressFrom(arg);
    }
    return line;
}

QString CommandLineHelp()
{
    return QStringLiteral(
        "Użycie: kolvani [hid] [ADRES] | kolvani POLECENIE [PARAMETRY]\n"
        "\n"
        "  hid                      uruchamia program ukryty w zasobniku systemowym\n"
        "  ADRES                    otwiera kreator nowego kanału z tym adresem "
        "(http://, https:// lub feed:)\n"
        "  --sync                   synchronizuje wszystkie włączone kanały bez okna "
        "(np. z crona)\n"
        "  --import-opml PLIK       dodaje kanały z pliku OPML innego czytnika\n"
        "  --export-opml PLIK       zapisuje wszystkie kanały do pliku OPML (bez haseł)\n"
        "  --fetch ADRES PLIK [--user NAZWA --password HASŁO]  pobiera jeden dokument "
        "do pliku, tak jak program; hasło także ze zmiennej KOLVANI_PASSWORD\n"
        "  --check-tree PLIK [--save WYNIK]  wczytuje plik drzewa kanałów, wypisuje je "
        "i może zapisać je ponownie\n"
        "  --help, -h               wypisuje tę pomoc\n"
        "  --version                wypisuje wersję programu\n");
}

QString VersionText()
{
    return QStringLiteral("Kolvani ") + QStringLiteral(KV_VERSION);
}

CommandLine ParseCommandLine(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return ParseCommandLine(args);
}
