// morvid-task: the report tasks on the command line. Through the client that holds the settings
// when one runs, else on the settings file itself under the client's lock.
#include "client/ClientOptions.h"
#include "client/PluginLoader.h"
#include "client/TaskFields.h"
#include "platform/host/core/QtDispatcher.h"
#include "platform/host/registry/Registry.h"
#include "platform/rtl/Words.h"
#include "tasks/TaskFieldTable.h"
#include "tasks/TaskName.h"
#include "tools/morvid-task/ReportCatalog.h"
#include "tools/morvid-task/TaskJson.h"
#include "tools/morvid-task/TaskStore.h"
#include "translations/Translations.h"

#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int ExitError = 1;
constexpr int ExitUsage = 2;

class EUsage : public rtl::Exception {
public:
    using Exception::Exception;
};

struct TOptions {
    std::string Command;
    std::vector<std::string> Arguments;  // the task, or the file
    std::vector<std::string> ClientArgs; // --settings, --server as the client takes them
    QVariantMap Fields;
    bool Json = false;
    bool DryRun = false;
    bool NoWait = false;
    bool Help = false;
};

const char* const Commands[] = {"list",    "show", "add",    "set",    "remove", "enable",
                                "disable", "run",  "export", "import", "reports"};

// One line per field's option, from the task's field table.
std::string FieldHelp() {
    std::string help;
    for (const morvid::TTaskField& field : morvid::TaskFields()) {
        if (field.Option.empty()) {
            continue;
        }
        std::string head = "  " + std::string(field.Option) + " " + std::string(field.Argument);
        std::string text = rtl::Words("morvid-task", std::string(field.Help).c_str());
        // Continued lines of a help text line up below its first.
        for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at)) {
            text.replace(at, 1, "\n" + std::string(24, ' '));
            at += 25;
        }
        help +=
            head +
            (head.size() < 23 ? std::string(24 - head.size(), ' ') : "\n" + std::string(24, ' ')) +
            text + '\n';
    }
    return help;
}

std::string Usage() {
    return rtl::Words(
        MORVID_WORDS(
            "morvid-task",
            "Usage: morvid-task [--settings FILE] [--server FILE] COMMAND [ARGUMENTS] [--json]\n"
            "Lists and changes the report tasks: through the client that holds the settings\n"
            "when one runs (on the session bus), else in the settings file itself, locked as a\n"
            "client locks it. TASK is a task's Id or its name.\n"
            "\n"
            "Commands:\n"
            "  list             every task: Id, enabled, next run, name\n"
            "  show TASK        every field of the task\n"
            "  add FIELDS       adds a task and prints its Id (--name, --report, --path,\n"
            "                   --format and --schedule are needed)\n"
            "  set TASK FIELDS  changes the fields given\n"
            "  remove TASK      removes the task\n"
            "  enable TASK      arms the task\n"
            "  disable TASK     disarms the task\n"
            "  run TASK         runs the task now (needs a running client) and waits for the\n"
            "                   run's end: exits 0 when it succeeded, 1 when not\n"
            "  export [FILE]    writes every task as one JSON document\n"
            "  import FILE      makes the tasks match the document, all or nothing\n"
            "  reports          the server's reports: id, name and parameters\n"
            "\n"
            "Fields:\n"
            "%1\n"
            "Options:\n"
            "  --settings FILE  the client's settings (default: %2)\n"
            "  --server FILE    the server whose reports a task may name, when no client runs\n"
            "  --json           print tasks as JSON\n"
            "  --dry-run        import: print what would change, change nothing\n"
            "  --no-wait        run: return once the run started, not when it ended\n"
            "  --help           show this help\n"),
        {FieldHelp(), host::DefaultRegistryPath()});
}

// The value of a field's option as the task interface takes it.
QVariant OptionValue(const morvid::TTaskField& field, const std::string& name,
                     const std::string& text) {
    switch (field.Kind) {
    case morvid::TFieldKind::Flag:
        if (text == "yes" || text == "no") {
            return text == "yes";
        }
        throw EUsage(name + " takes yes or no, not \"" + text + "\"");
    case morvid::TFieldKind::Number: {
        std::int32_t n = 0;
        if (!rtl::TryStrToInt(text, n)) {
            throw EUsage(name + " takes a whole number, not \"" + text + "\"");
        }
        return n;
    }
    case morvid::TFieldKind::Choice: {
        const auto word = std::find(field.Words.begin(), field.Words.end(), text);
        if (word != field.Words.end()) {
            return static_cast<int>(word - field.Words.begin());
        }
        std::string list;
        for (std::string_view each : field.Words) {
            list += (list.empty() ? "" : ", ") + std::string(each);
        }
        throw EUsage(name + " takes one of " + list + ", not \"" + text + "\"");
    }
    default:
        return QString::fromStdString(text);
    }
}

const morvid::TTaskField* OptionField(const std::string& option) {
    for (const morvid::TTaskField& field : morvid::TaskFields()) {
        if (!field.Option.empty() && field.Option == option) {
            return &field;
        }
    }
    return nullptr;
}

TOptions ParseOptions(const std::vector<std::string>& args) {
    TOptions options;
    std::map<QString, QStringList> lists;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::size_t equals = arg.find('=');
        const std::string name = arg.rfind("--", 0) == 0 ? arg.substr(0, equals) : arg;
        auto value = [&]() -> std::string {
            if (equals != std::string::npos && name != arg) {
                return arg.substr(equals + 1);
            }
            if (i + 1 < args.size()) {
                return args[++i];
            }
            throw EUsage("option " + name + " needs a value");
        };
        if (name == "--settings" || name == "--server") {
            options.ClientArgs.insert(options.ClientArgs.end(), {name, value()});
        } else if (name == "--json") {
            options.Json = true;
        } else if (name == "--dry-run") {
            options.DryRun = true;
        } else if (name == "--no-wait") {
            options.NoWait = true;
        } else if (name == "--help" || name == "-h") {
            options.Help = true;
        } else if (const morvid::TTaskField* field = OptionField(name)) {
            const QString key = QString::fromUtf8(field->Key.data(), field->Key.size());
            if (field->Kind == morvid::TFieldKind::Texts ||
                field->Kind == morvid::TFieldKind::Params) {
                // Once per text; "" alone makes the list empty, the way to take them all off.
                QStringList& texts = lists[key];
                if (const std::string text = value();
                    !text.empty() || field->Kind == morvid::TFieldKind::Params) {
                    texts << QString::fromStdString(text);
                }
                options.Fields[key] = texts;
            } else {
                options.Fields[key] = OptionValue(*field, name, value());
            }
        } else if (arg.rfind("-", 0) == 0 && arg != "-") {
            throw EUsage("unknown option \"" + name + "\"");
        } else if (options.Command.empty()) {
            options.Command = arg;
        } else {
            options.Arguments.push_back(arg);
        }
    }
    return options;
}

// The Id of the task named by `task`: its Id, or the name of exactly one task.
QString TaskId(const QList<QVariantMap>& tasks, const std::string& task) {
    const QString wanted = QString::fromStdString(task);
    QString found;
    int named = 0;
    for (const QVariantMap& fields : tasks) {
        if (fields["Id"].toString() == wanted) {
            return wanted;
        }
        if (fields["Name"].toString() == wanted) {
            found = fields["Id"].toString();
            ++named;
        }
    }
    if (named == 1) {
        return found;
    }
    throw rtl::Exception(named == 0 ? "no task \"" + task + "\""
                                    : std::to_string(named) + " tasks are named \"" + task +
                                          "\"; name it by its Id");
}

void PrintTask(const QVariantMap& task, bool json) {
    if (json) {
        std::cout << QJsonDocument(QJsonObject::fromVariantMap(task)).toJson().toStdString();
        return;
    }
    QStringList fields;
    for (const morvid::TTaskField& field : morvid::TaskFields()) {
        const QString key = QString::fromUtf8(field.Key.data(), field.Key.size());
        // The optional fields only while the task uses them, so a task without them shows as
        // before.
        if (task.contains(key)) {
            fields << key;
        }
        if (key == "ReportId") {
            fields << "ReportName";
        }
    }
    fields << "LastRun"
           << "LastResult"
           << "NextRun";
    for (const QString& field : fields) {
        const QVariant& value = task[field];
        const morvid::TTaskField* row = morvid::FindTaskField(field.toStdString());
        const QString text = row != nullptr && row->Kind == morvid::TFieldKind::Choice
                                 ? QString::fromStdString(morvid::ChoiceWord(*row, value.toInt()))
                             : value.typeId() == QMetaType::Bool ? (value.toBool() ? "yes" : "no")
                             : value.typeId() == QMetaType::QStringList
                                 ? value.toStringList().join("  ")
                                 : value.toString();
        std::cout << field.toStdString() << ": " << text.toStdString() << '\n';
    }
}

void PrintList(const QList<QVariantMap>& tasks, bool json) {
    if (json) {
        QJsonArray list;
        for (const QVariantMap& task : tasks) {
            list.append(QJsonObject::fromVariantMap(task));
        }
        std::cout << QJsonDocument(list).toJson().toStdString();
        return;
    }
    for (const QVariantMap& task : tasks) {
        const QString next = task["NextRun"].toString();
        std::cout << task["Id"].toString().toStdString() << "  "
                  << (task["Enabled"].toBool() ? "yes" : "no ") << "  "
                  << (next.isEmpty() ? QString("-").leftJustified(19) : next).toStdString() << "  "
                  << task["Name"].toString().toStdString() << '\n';
    }
}

void Export(morvid::TTaskStore& store, const std::vector<std::string>& files,
            const morvid::TReportCatalog& reports) {
    const QByteArray document = morvid::TaskDocument(store.List(), reports);
    if (files.empty()) {
        std::cout << document.toStdString();
        return;
    }
    // Written beside the file and renamed onto it: a reader never sees half a list.
    QSaveFile file(QString::fromStdString(files[0]));
    if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size() ||
        !file.commit()) {
        throw rtl::Exception("cannot write \"" + files[0] +
                             "\": " + file.errorString().toStdString());
    }
}

int Import(morvid::TTaskStore& store, const std::string& fileName, bool dryRun,
           const morvid::TReportCatalog& reports) {
    QFile file(QString::fromStdString(fileName));
    if (!file.open(QIODevice::ReadOnly)) {
        throw rtl::Exception("cannot read \"" + fileName +
                             "\": " + file.errorString().toStdString());
    }
    QList<QVariantMap> tasks;
    try {
        tasks = morvid::ParseTaskDocument(file.readAll(), reports);
    } catch (const rtl::Exception& e) {
        throw rtl::Exception(fileName + ": " + e.Message());
    }
    const QStringList changes = store.Import(tasks, dryRun);
    for (const QString& change : changes) {
        std::cout << change.toStdString() << '\n';
    }
    if (changes.isEmpty()) {
        std::cout << "nothing to change\n";
    }
    return 0;
}

int Execute(const TOptions& options, morvid::TTaskStore& store,
            const morvid::TReportCatalog& reports) {
    const std::string& command = options.Command;
    const std::size_t count = options.Arguments.size();
    const bool fitting = command == "list" || command == "add" || command == "reports" ? count == 0
                         : command == "export"                                         ? count <= 1
                                                                                       : count == 1;
    if (!fitting) {
        throw EUsage(command + " takes " + (count == 0 ? "an argument" : "fewer arguments"));
    }
    const bool changesFields = command == "add" || command == "set";
    if (changesFields == options.Fields.isEmpty()) {
        throw EUsage(changesFields ? command + " needs fields to set"
                                   : command + " takes no fields");
    }
    if (command == "list") {
        PrintList(store.List(), options.Json);
    } else if (command == "add") {
        std::cout << store.Add(options.Fields).toStdString() << '\n';
    } else if (command == "export") {
        Export(store, options.Arguments, reports);
    } else if (command == "import") {
        return Import(store, options.Arguments[0], options.DryRun, reports);
    } else {
        const QList<QVariantMap> tasks = store.List();
        const QString id = TaskId(tasks, options.Arguments[0]);
        if (command == "show") {
            for (const QVariantMap& task : tasks) {
                if (task["Id"].toString() == id) {
                    PrintTask(task, options.Json);
                }
            }
        } else if (command == "set") {
            store.Set(id, options.Fields);
        } else if (command == "remove") {
            store.Remove(id);
        } else if (command == "run") {
            if (const std::optional<morvid::TRunEnd> end = store.Run(id, !options.NoWait)) {
                std::cout << "Run " << end->Outcome.toStdString() << ": "
                          << end->Result.toStdString()
                          << (end->File.isEmpty() ? "" : " (" + end->File.toStdString() + ")")
                          << '\n';
                return end->Outcome == "succeeded" ? 0 : ExitError;
            }
        } else {
            store.SetEnabled(id, command == "enable");
        }
    }
    return 0;
}

// A message quotes what it refused, which may hold line breaks or terminal escapes.
std::string Printable(std::string_view message) {
    return morvid::WithoutControlCharacters(message);
}

std::string ExecutableDir(const char* argv0) {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        self = std::filesystem::absolute(argv0, error);
    }
    return self.parent_path().string();
}

} // namespace

int main(int argc, char** argv) {
    morvid::LoadTranslations();
    TOptions options;
    morvid::TClientOptions client;
    try {
        options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.Help) {
            std::cout << Usage();
            return 0;
        }
        if (std::find(std::begin(Commands), std::end(Commands), options.Command) ==
            std::end(Commands)) {
            throw EUsage(options.Command.empty() ? "no command given"
                                                 : "unknown command \"" + options.Command + "\"");
        }
        client = morvid::ParseClientOptions(options.ClientArgs, ExecutableDir(argv[0]));
    } catch (const std::exception& e) {
        std::cerr << "morvid-task: " << Printable(e.what()) << "\nTry 'morvid-task --help'.\n";
        return ExitUsage;
    }
    // Without a client the plug-in is loaded here, with its window, which nobody sees.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The libraries outlive the application object, which may still refer to their code.
    morvid::TPluginLoader loader;
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    host::TQtDispatcherInstaller dispatcher;
    try {
        const morvid::TReportCatalog reports(client.ServerFile);
        if (options.Command == "reports") {
            if (!options.Arguments.empty() || !options.Fields.isEmpty()) {
                throw EUsage("reports takes no arguments and no fields");
            }
            if (reports.Missing()) {
                throw rtl::Exception(reports.MissingText());
            }
            std::cout << morvid::ReportListing(reports, options.Json);
            return 0;
        }
        const std::string& command = options.Command;
        // What only reads needs no write: a settings file in a folder nobody may write serves.
        const bool reads = command == "list" || command == "show" || command == "export" ||
                           (command == "import" && options.DryRun);
        const std::unique_ptr<morvid::TTaskStore> store =
            morvid::OpenTaskStore(client, loader, reads);
        return Execute(options, *store, reports);
    } catch (const EUsage& e) {
        std::cerr << "morvid-task: " << Printable(e.Message()) << "\nTry 'morvid-task --help'.\n";
        return ExitUsage;
    } catch (const std::exception& e) {
        std::cerr << "morvid-task: " << Printable(e.what()) << '\n';
        return ExitError;
    }
}
