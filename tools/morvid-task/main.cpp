// morvid-task: the report tasks on the command line. Through the client that holds the settings
// when one runs, else on the settings file itself under the client's lock.
#include "client/ClientOptions.h"
#include "client/PluginLoader.h"
#include "client/TaskFields.h"
#include "platform/host/core/QtDispatcher.h"
#include "platform/host/registry/Registry.h"
#include "platform/rtl/Words.h"
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
    bool Help = false;
};

const char* const Commands[] = {"list",   "show",    "add", "set",    "remove",
                                "enable", "disable", "run", "export", "import"};

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
            "  run TASK         runs the task now (needs a running client)\n"
            "  export [FILE]    writes every task as one JSON document\n"
            "  import FILE      makes the tasks match the document, all or nothing\n"
            "\n"
            "Fields:\n"
            "  --name TEXT          --schedule \"MIN HOUR DAY MONTH WEEKDAY YEAR\"\n"
            "  --report ID          --path FOLDER        --format TEXT (\"CSV table\", ...)\n"
            "  --enabled yes|no     --run-missed yes|no  --keep-files N\n"
            "  --param TYPE:VALUE   a parameter (0 text, 1 number, 2 true/false, 3 date\n"
            "                       YYYY-MM-DD, 4 time HH:MM:SS, 5 a period word for a date\n"
            "                       such as yesterday or month-start, 6 one for a time such\n"
            "                       as due-time); repeat it for each, in order\n"
            "  --name-pattern TEXT  the file's name below the folder, such as\n"
            "                       \"{report}/{due:yyyy-MM-dd}.{ext}\"; empty: time-stamped\n"
            "  --name-exists replace|keep-both   what a run does when that name is taken\n"
            "  --active-from YYYY-MM-DD          --active-until YYYY-MM-DD (empty: no bound)\n"
            "  --more-format TEXT   a further format of each run; repeat it for each, or give\n"
            "                       \"\" for none\n"
            "  --mail-to ADDRESSES  --mail-cc ADDRESSES  --mail-bcc ADDRESSES (separated by "
            "\",\")\n"
            "  --mail-when never|success|failure|always  when a run sends mail\n"
            "  --mail-subject TEXT  --mail-body TEXT     the mail's templates (empty: built-in)\n"
            "  --retry-count N      --retry-minutes M    run a failed run of a due time again\n"
            "                       N times (0 to 99), M minutes apart (1 to 1440)\n"
            "\n"
            "Options:\n"
            "  --settings FILE  the client's settings (default: %1)\n"
            "  --server FILE    the server whose reports a task may name, when no client runs\n"
            "  --json           print tasks as JSON\n"
            "  --dry-run        import: print what would change, change nothing\n"
            "  --help           show this help\n"),
        {host::DefaultRegistryPath()});
}

bool YesNo(const std::string& name, const std::string& text) {
    if (text == "yes" || text == "no") {
        return text == "yes";
    }
    throw EUsage(name + " takes yes or no, not \"" + text + "\"");
}

// The options that set a text field, as they are typed.
const std::map<std::string, const char*> TextOptions = {
    {"--name", "Name"},
    {"--schedule", "Schedule"},
    {"--path", "ExportPath"},
    {"--format", "Format"},
    {"--name-pattern", "NamePattern"},
    {"--active-from", "ActiveFrom"},
    {"--active-until", "ActiveUntil"},
    {"--mail-to", "MailTo"},
    {"--mail-cc", "MailCc"},
    {"--mail-bcc", "MailBcc"},
    {"--mail-subject", "MailSubject"},
    {"--mail-body", "MailBody"},
};

// The options that set a whole number.
const std::map<std::string, const char*> NumberOptions = {
    {"--report", "ReportId"},
    {"--keep-files", "KeepFiles"},
    {"--retry-count", "RetryCount"},
    {"--retry-minutes", "RetryMinutes"},
};

// The place of `text` among the words, which is the value stored for it.
int Choice(const std::string& name, const std::string& text,
           std::initializer_list<const char*> words) {
    int index = 0;
    std::string list;
    for (const char* word : words) {
        if (text == word) {
            return index;
        }
        list += (index++ == 0 ? "" : ", ") + std::string(word);
    }
    throw EUsage(name + " takes one of " + list + ", not \"" + text + "\"");
}

TOptions ParseOptions(const std::vector<std::string>& args) {
    TOptions options;
    QStringList params;
    QStringList formats;
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
        } else if (name == "--help" || name == "-h") {
            options.Help = true;
        } else if (const auto field = NumberOptions.find(name); field != NumberOptions.end()) {
            const std::string number = value();
            std::int32_t n = 0;
            if (!rtl::TryStrToInt(number, n)) {
                throw EUsage(name + " takes a whole number, not \"" + number + "\"");
            }
            options.Fields[field->second] = n;
        } else if (name == "--enabled" || name == "--run-missed") {
            options.Fields[name == "--enabled" ? "Enabled" : "RunMissed"] = YesNo(name, value());
        } else if (name == "--param") {
            params << QString::fromStdString(value());
            options.Fields["Params"] = params;
        } else if (name == "--more-format") {
            // "" alone makes the list empty: the way to take every further format off.
            if (const std::string format = value(); !format.empty()) {
                formats << QString::fromStdString(format);
            }
            options.Fields["MoreFilters"] = formats;
        } else if (const auto text = TextOptions.find(name); text != TextOptions.end()) {
            options.Fields[text->second] = QString::fromStdString(value());
        } else if (name == "--name-exists") {
            options.Fields["NameExists"] = Choice(name, value(), {"replace", "keep-both"});
        } else if (name == "--mail-when") {
            options.Fields["MailWhen"] =
                Choice(name, value(), {"never", "success", "failure", "always"});
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
    QStringList fields = {"Id",        "Name",       "Enabled",    "Schedule",
                          "ReportId",  "ReportName", "ExportPath", "Format",
                          "RunMissed", "KeepFiles",  "Params"};
    // The optional fields only while the task uses them, so a task without them shows as before.
    for (const QString& field : morvid::OptionalTaskFields) {
        if (task.contains(field)) {
            fields << field;
        }
    }
    fields << "LastRun"
           << "LastResult"
           << "NextRun";
    for (const QString& field : fields) {
        const QVariant& value = task[field];
        const QString text = value.typeId() == QMetaType::Bool ? (value.toBool() ? "yes" : "no")
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

void Export(morvid::TTaskStore& store, const std::vector<std::string>& files) {
    const QByteArray document = morvid::TaskDocument(store.List());
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

int Import(morvid::TTaskStore& store, const std::string& fileName, bool dryRun) {
    QFile file(QString::fromStdString(fileName));
    if (!file.open(QIODevice::ReadOnly)) {
        throw rtl::Exception("cannot read \"" + fileName +
                             "\": " + file.errorString().toStdString());
    }
    QList<QVariantMap> tasks;
    try {
        tasks = morvid::ParseTaskDocument(file.readAll());
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

int Execute(const TOptions& options, morvid::TTaskStore& store) {
    const std::string& command = options.Command;
    const std::size_t count = options.Arguments.size();
    const bool fitting = command == "list" || command == "add" ? count == 0
                         : command == "export"                 ? count <= 1
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
        Export(store, options.Arguments);
    } else if (command == "import") {
        return Import(store, options.Arguments[0], options.DryRun);
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
            store.Run(id);
        } else {
            store.SetEnabled(id, command == "enable");
        }
    }
    return 0;
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
        std::cerr << "morvid-task: " << e.what() << "\nTry 'morvid-task --help'.\n";
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
        const std::unique_ptr<morvid::TTaskStore> store = morvid::OpenTaskStore(client, loader);
        return Execute(options, *store);
    } catch (const EUsage& e) {
        std::cerr << "morvid-task: " << e.Message() << "\nTry 'morvid-task --help'.\n";
        return ExitUsage;
    } catch (const std::exception& e) {
        std::cerr << "morvid-task: " << e.what() << '\n';
        return ExitError;
    }
}
