#include "platform/host/server/DemoServer.h"

#include "platform/host/server/ReportDefinition.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace host {

namespace {

// SplitMix64: tiny, fast and, unlike the standard distributions, the same on every platform.
class TRandom {
public:
    explicit TRandom(std::uint64_t seed) : FState(seed) {}
    std::uint64_t Next() noexcept {
        std::uint64_t z = (FState += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // [0, n) for n > 0, by multiply-shift (no modulo bias worth speaking of at these sizes).
    int Below(int n) noexcept {
        return static_cast<int>(((Next() >> 32) * static_cast<std::uint64_t>(n)) >> 32);
    }
    // [0, 1)
    double Unit() noexcept { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    bool Chance(double p) noexcept { return Unit() < p; }
    template <class T, std::size_t N> const T& Pick(const std::array<T, N>& items) noexcept {
        return items[static_cast<std::size_t>(Below(static_cast<int>(N)))];
    }

private:
    std::uint64_t FState;
};

constexpr double Minute = 1.0 / 1440.0;

const char* const Schema = R"sql(
CREATE TABLE server_info (name TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE sites (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, address TEXT NOT NULL);
CREATE TABLE objects (
    id INTEGER PRIMARY KEY,
    site_id INTEGER NOT NULL REFERENCES sites(id),
    kind TEXT NOT NULL CHECK (kind IN ('Door', 'Camera', 'Sensor')),
    name TEXT NOT NULL,
    state TEXT NOT NULL,
    last_change DATETIME NOT NULL
);
CREATE VIEW doors AS SELECT * FROM objects WHERE kind = 'Door';
CREATE VIEW cameras AS SELECT * FROM objects WHERE kind = 'Camera';
CREATE VIEW sensors AS SELECT * FROM objects WHERE kind = 'Sensor';
CREATE TABLE card_holders (
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL,
    card_number TEXT NOT NULL UNIQUE,
    department TEXT NOT NULL
);
CREATE TABLE operators (id INTEGER PRIMARY KEY, login TEXT NOT NULL UNIQUE, name TEXT NOT NULL);
CREATE TABLE alarms (
    id INTEGER PRIMARY KEY,
    object_id INTEGER NOT NULL REFERENCES objects(id),
    raised_at DATETIME NOT NULL,
    kind TEXT NOT NULL,
    priority INTEGER NOT NULL,
    state TEXT NOT NULL CHECK (state IN ('Active', 'Acknowledged', 'Closed')),
    acknowledged BOOLEAN NOT NULL,
    ack_operator_id INTEGER REFERENCES operators(id),
    ack_at DATETIME,
    closed_at DATETIME
);
CREATE TABLE access_events (
    id INTEGER PRIMARY KEY,
    door_id INTEGER NOT NULL REFERENCES objects(id),
    occurred_at DATETIME NOT NULL,
    card_holder_id INTEGER REFERENCES card_holders(id),
    granted BOOLEAN NOT NULL,
    reason TEXT NOT NULL
);
CREATE TABLE operator_log (
    id INTEGER PRIMARY KEY,
    operator_id INTEGER NOT NULL REFERENCES operators(id),
    occurred_at DATETIME NOT NULL,
    action TEXT NOT NULL,
    object_id INTEGER REFERENCES objects(id),
    details TEXT NOT NULL
);
)sql";

// Built after the bulk inserts: cheaper than keeping them up to date row by row.
const char* const Indexes = R"sql(
CREATE INDEX alarms_raised ON alarms(raised_at);
CREATE INDEX alarms_object ON alarms(object_id, state);
CREATE INDEX access_events_occurred ON access_events(occurred_at);
CREATE INDEX operator_log_occurred ON operator_log(occurred_at);
)sql";

constexpr std::array SiteNames{
    "Head office",  "North warehouse", "Data centre", "Harbour depot",   "Retail park",
    "Research lab", "Airport hangar",  "City branch", "Training centre", "Cold store"};
constexpr std::array Streets{"Mill Lane",   "Station Road",  "Harbour Street", "Park Avenue",
                             "Bridge Road", "Church Street", "Market Square",  "Quarry Way"};
constexpr std::array DoorNames{"Main entrance", "Staff entrance", "Loading bay", "Server room",
                               "Stairwell A",   "Stairwell B",    "Roof access", "Archive"};
constexpr std::array CameraNames{"Car park",        "Reception",  "Loading bay", "Perimeter north",
                                 "Perimeter south", "Corridor 1", "Corridor 2",  "Yard",
                                 "Lift lobby",      "Gate"};
constexpr std::array SensorNames{
    "PIR lobby",        "PIR corridor",     "Smoke detector 1F", "Smoke detector 2F",
    "Glass break east", "Glass break west", "Temperature rack",  "Door contact fire exit",
    "Water leak",       "Vibration safe",   "PIR warehouse",     "Heat detector kitchen"};
constexpr std::array FirstNames{"Anna", "Ben",  "Clara", "David", "Eva",   "Felix", "Greta",
                                "Hugo", "Ida",  "Jonas", "Karin", "Lukas", "Mia",   "Noah",
                                "Olga", "Paul", "Rosa",  "Simon", "Tara",  "Viktor"};
constexpr std::array LastNames{"Berg",  "Falk",   "Hansen", "Jansen", "Keller", "Lind",
                               "Moser", "Nowak",  "Olsen",  "Petrov", "Quist",  "Roth",
                               "Sauer", "Teller", "Urban",  "Vogel",  "Weber",  "Young"};
constexpr std::array Departments{"Facilities", "Finance",  "IT",    "Logistics",
                                 "Research",   "Security", "Sales", "Visitors"};
constexpr std::array DeniedReasons{"Unknown card", "Expired card", "Outside schedule",
                                   "No access right"};

struct TOperatorSeed {
    const char* Login;
    const char* Name;
};
constexpr std::array Operators{
    TOperatorSeed{"akeller", "Anna Keller"}, TOperatorSeed{"bnowak", "Ben Nowak"},
    TOperatorSeed{"cweber", "Clara Weber"},  TOperatorSeed{"dolsen", "David Olsen"},
    TOperatorSeed{"emoser", "Eva Moser"},    TOperatorSeed{"froth", "Felix Roth"}};

struct TAlarmKind {
    const char* Name;
    int Priority; // 1 low .. 4 critical
};
constexpr std::array DoorAlarms{TAlarmKind{"Door forced open", 3}, TAlarmKind{"Door held open", 2},
                                TAlarmKind{"Reader tamper", 3}};
constexpr std::array CameraAlarms{TAlarmKind{"Video loss", 3}, TAlarmKind{"Motion detected", 2},
                                  TAlarmKind{"Camera tamper", 3}};
constexpr std::array SensorAlarms{TAlarmKind{"Intrusion", 4}, TAlarmKind{"Fire", 4},
                                  TAlarmKind{"Temperature high", 2}, TAlarmKind{"Glass break", 4},
                                  TAlarmKind{"Low battery", 1}};

struct TOtherAction {
    const char* Action;
    const char* ObjectKind; // nullptr: not about an object
};
constexpr std::array OtherActions{TOtherAction{"Log in", nullptr},
                                  TOtherAction{"Log out", nullptr},
                                  TOtherAction{"Open door remotely", "Door"},
                                  TOtherAction{"Change camera preset", "Camera"},
                                  TOtherAction{"Export video", "Camera"},
                                  TOtherAction{"Arm zone", "Sensor"},
                                  TOtherAction{"Disarm zone", "Sensor"}};

struct TObject {
    std::int64_t Id;
    const char* Kind;
};

std::vector<TReportDefinition> DemoReports() {
    using T = TReportParamType;
    using V = rtl::TVarType;
    const std::string siteFilter = "(:Site IS NULL OR :Site = '' OR s.name = :Site)";
    std::vector<TReportDefinition> reports;
    reports.push_back(
        {1,
         "Alarm summary",
         "SELECT s.name AS \"Site\", a.priority AS \"Priority\", count(*) AS \"Alarms\",\n"
         "  sum(a.acknowledged) AS \"Acknowledged\", sum(a.state <> 'Closed') AS \"Open\",\n"
         "  round(avg(CASE WHEN a.acknowledged THEN (a.ack_at - a.raised_at) * 1440.0 END), 1)\n"
         "    AS \"Minutes to acknowledge\"\n"
         "FROM alarms a JOIN objects o ON o.id = a.object_id JOIN sites s ON s.id = o.site_id\n"
         "WHERE a.raised_at >= coalesce(:From, -1e9) AND a.raised_at < coalesce(:To, 1e9) + 1\n"
         "  AND a.priority >= coalesce(:MinPriority, 1)\n"
         "GROUP BY s.name, a.priority ORDER BY s.name, a.priority DESC",
         {{"From", T::Date, "year-start", false},
          {"To", T::Date, "today", false},
          {"MinPriority", T::Number, "1", false, "Minimum priority", true}},
         {V::String, V::Integer, V::Integer, V::Integer, V::Integer, V::Double}});
    reports.push_back(
        {2,
         "Alarm log",
         "SELECT a.raised_at AS \"Raised\", s.name AS \"Site\", o.name AS \"Object\",\n"
         "  a.kind AS \"Alarm\", a.priority AS \"Priority\", a.state AS \"State\",\n"
         "  a.acknowledged AS \"Acknowledged\", op.name AS \"Acknowledged by\",\n"
         "  a.ack_at AS \"Acknowledged at\"\n"
         "FROM alarms a JOIN objects o ON o.id = a.object_id JOIN sites s ON s.id = o.site_id\n"
         "  LEFT JOIN operators op ON op.id = a.ack_operator_id\n"
         "WHERE a.raised_at >= coalesce(:From, -1e9) AND a.raised_at < coalesce(:To, 1e9) + 1\n"
         "  AND " +
             siteFilter +
             "\n"
             "  AND a.priority >= coalesce(:MinPriority, 1)\n"
             "  AND (coalesce(:OpenOnly, 0) = 0 OR a.state <> 'Closed')\n"
             "ORDER BY a.raised_at, a.id",
         {{"From", T::Date, "today-7", false},
          {"To", T::Date, "today", false},
          {"Site", T::Text, "", false, "", true},
          {"MinPriority", T::Number, "1", false, "Minimum priority", true},
          {"OpenOnly", T::Boolean, "false", false, "Open alarms only"}},
         {V::Date, V::String, V::String, V::String, V::Integer, V::String, V::Boolean, V::String,
          V::Date}});
    reports.push_back(
        {3,
         "Daily visits",
         "SELECT CAST(e.occurred_at AS INTEGER) AS \"Day\", s.name AS \"Site\",\n"
         "  d.name AS \"Door\", sum(e.granted) AS \"Granted\", sum(1 - e.granted) AS \"Denied\",\n"
         "  count(DISTINCT e.card_holder_id) AS \"Visitors\"\n"
         "FROM access_events e JOIN objects d ON d.id = e.door_id\n"
         "  JOIN sites s ON s.id = d.site_id\n"
         "WHERE e.occurred_at >= coalesce(:From, -1e9) AND e.occurred_at < coalesce(:To, 1e9) + 1\n"
         "  AND e.occurred_at - CAST(e.occurred_at AS INTEGER) >= coalesce(:FromTime, 0)\n"
         // The upper time includes its whole last second.
         "  AND e.occurred_at - CAST(e.occurred_at AS INTEGER)\n"
         "      < coalesce(:ToTime, 1) + 1.0 / 86400\n"
         "  AND " +
             siteFilter +
             "\n"
             "GROUP BY 1, s.name, d.name ORDER BY 1, 2, 3",
         {{"From", T::Date, "month-start", false},
          {"To", T::Date, "today", false},
          {"FromTime", T::Time, "00:00", false, "From time"},
          {"ToTime", T::Time, "23:59:59", false, "To time"},
          {"Site", T::Text, "", false, "", true}},
         {V::Date, V::String, V::String, V::Integer, V::Integer, V::Integer}});
    reports.push_back(
        {4,
         "Object status",
         "SELECT s.name AS \"Site\", o.kind AS \"Kind\", o.name AS \"Object\",\n"
         "  o.state AS \"State\", o.last_change AS \"Since\",\n"
         "  (SELECT count(*) FROM alarms a WHERE a.object_id = o.id AND a.state <> 'Closed')\n"
         "    AS \"Open alarms\"\n"
         "FROM objects o JOIN sites s ON s.id = o.site_id\n"
         "WHERE " +
             siteFilter +
             "\n"
             "  AND (:Kind IS NULL OR :Kind = '' OR o.kind = :Kind)\n"
             "  AND (coalesce(:FaultsOnly, 0) = 0 OR o.state <> 'Normal')\n"
             "ORDER BY s.name, o.kind, o.name",
         {{"Site", T::Text, "", false, "", true},
          {"Kind", T::Text, "", false, "Object kind", true},
          {"FaultsOnly", T::Boolean, "false", false, "Faults only"}},
         {V::String, V::String, V::String, V::String, V::Date, V::Integer}});
    reports.push_back(
        {5,
         "Operator actions",
         "SELECT l.occurred_at AS \"Time\", op.name AS \"Operator\", l.action AS \"Action\",\n"
         "  o.name AS \"Object\", l.details AS \"Details\"\n"
         "FROM operator_log l JOIN operators op ON op.id = l.operator_id\n"
         "  LEFT JOIN objects o ON o.id = l.object_id\n"
         "WHERE l.occurred_at >= coalesce(:From, -1e9) AND l.occurred_at < coalesce(:To, 1e9) + 1\n"
         "  AND (:Operator IS NULL OR :Operator = '' OR op.name = :Operator\n"
         "       OR op.login = :Operator)\n"
         "ORDER BY l.occurred_at, l.id",
         {{"From", T::Date, "yesterday", false},
          {"To", T::Date, "today", false},
          {"Operator", T::Text, "", false, "", true}},
         {V::Date, V::String, V::String, V::String, V::String}});
    reports.push_back(
        {6,
         "Card holder trail",
         "SELECT e.occurred_at AS \"Time\", h.name AS \"Card holder\", h.card_number AS \"Card\",\n"
         "  s.name AS \"Site\", d.name AS \"Door\", e.granted AS \"Granted\",\n"
         "  e.reason AS \"Reason\"\n"
         "FROM access_events e JOIN card_holders h ON h.id = e.card_holder_id\n"
         "  JOIN objects d ON d.id = e.door_id JOIN sites s ON s.id = d.site_id\n"
         "WHERE (h.name = :CardHolder OR h.card_number = :CardHolder)\n"
         "  AND e.occurred_at >= coalesce(:From, -1e9) AND e.occurred_at < coalesce(:To, 1e9) + 1\n"
         "ORDER BY e.occurred_at, e.id",
         {{"CardHolder", T::Text, std::nullopt, true, "Card holder"},
          {"From", T::Date, "today-7", false},
          {"To", T::Date, "today", false}},
         {V::Date, V::String, V::String, V::String, V::String, V::Boolean, V::String}});
    return reports;
}

class TGenerator {
public:
    TGenerator(TSqliteDatabase& db, rtl::TDateTime now, const TDemoServerOptions& options)
        : FDb(db), FNow(now), FOptions(options), FRandom(options.Seed) {}

    void Run() {
        FDb.Exec(Schema);
        FDb.Exec(ReportDefinitionSchema);
        Info();
        Sites();
        CardHolders();
        OperatorsTable();
        Alarms();
        AccessEvents();
        OtherActionsLog();
        FDb.Exec(Indexes);
        ObjectStates();
        for (const TReportDefinition& report : DemoReports()) {
            SaveReportDefinition(FDb, report);
        }
    }

private:
    void Info() {
        TSqliteStatement info = FDb.Prepare("INSERT INTO server_info VALUES (?, ?)");
        const std::pair<const char*, std::string> rows[] = {
            {"Generated", rtl::FormatDateTimeISO(FNow)},
            {"Seed", std::to_string(FOptions.Seed)},
            {"Days", std::to_string(FOptions.Days)},
            {"AlarmsPerDay", std::to_string(FOptions.AlarmsPerDay)},
            {"AccessEventsPerDay", std::to_string(FOptions.AccessEventsPerDay)},
            {"OperatorActionsPerDay", std::to_string(FOptions.OperatorActionsPerDay)},
            {"Sites", std::to_string(FOptions.Sites)}};
        for (const auto& [name, value] : rows) {
            info.BindText(1, name);
            info.BindText(2, value);
            info.Run();
        }
    }

    // A moment in the last FOptions.Days days, never after "now".
    double PastMoment() noexcept { return FNow - FRandom.Unit() * FOptions.Days; }

    void Sites() {
        TSqliteStatement site = FDb.Prepare("INSERT INTO sites (id, name, address) VALUES (?,?,?)");
        TSqliteStatement object =
            FDb.Prepare("INSERT INTO objects (id, site_id, kind, name, state, last_change) VALUES "
                        "(?,?,?,?,?,?)");
        for (int s = 1; s <= FOptions.Sites; ++s) {
            const std::size_t i = static_cast<std::size_t>(s - 1);
            const std::string name =
                i < SiteNames.size() ? std::string(SiteNames[i]) : "Site " + std::to_string(s);
            site.BindInt(1, s);
            site.BindText(2, name);
            site.BindText(3, std::to_string(1 + FRandom.Below(120)) + " " + FRandom.Pick(Streets));
            site.Run();
            auto add = [&](const char* kind, const char* objectName) {
                const auto id = static_cast<std::int64_t>(FObjects.size() + 1);
                object.BindInt(1, id);
                object.BindInt(2, s);
                object.BindText(3, kind);
                object.BindText(4, objectName);
                // Faults and lost connections are rare; alarms set their own state later.
                const double roll = FRandom.Unit();
                object.BindText(5, roll < 0.04 ? "Fault" : roll < 0.07 ? "Offline" : "Normal");
                object.BindDouble(6, PastMoment());
                object.Run();
                FObjects.push_back({id, kind});
            };
            for (std::size_t k = 0; k < 4 + i % 5; ++k) {
                add("Door", DoorNames[k % DoorNames.size()]);
            }
            for (std::size_t k = 0; k < 5 + i % 6; ++k) {
                add("Camera", CameraNames[k % CameraNames.size()]);
            }
            for (std::size_t k = 0; k < 6 + i % 7; ++k) {
                add("Sensor", SensorNames[k % SensorNames.size()]);
            }
        }
        for (const TObject& o : FObjects) {
            if (std::strcmp(o.Kind, "Door") == 0) {
                FDoors.push_back(o.Id);
            }
        }
    }

    void CardHolders() {
        TSqliteStatement holder = FDb.Prepare(
            "INSERT INTO card_holders (id, name, card_number, department) VALUES (?,?,?,?)");
        FCardHolders = 100 + 40 * FOptions.Sites;
        for (int h = 1; h <= FCardHolders; ++h) {
            holder.BindInt(1, h);
            holder.BindText(2,
                            std::string(FRandom.Pick(FirstNames)) + " " + FRandom.Pick(LastNames));
            holder.BindText(3, "C" + std::to_string(100000 + h * 7));
            holder.BindText(4, FRandom.Pick(Departments));
            holder.Run();
        }
    }

    void OperatorsTable() {
        TSqliteStatement op = FDb.Prepare("INSERT INTO operators (id, login, name) VALUES (?,?,?)");
        for (std::size_t i = 0; i < Operators.size(); ++i) {
            op.BindInt(1, static_cast<std::int64_t>(i + 1));
            op.BindText(2, Operators[i].Login);
            op.BindText(3, Operators[i].Name);
            op.Run();
        }
    }

    int RandomOperator() noexcept { return 1 + FRandom.Below(int(Operators.size())); }

    void Alarms() {
        TSqliteStatement alarm = FDb.Prepare(
            "INSERT INTO alarms (id, object_id, raised_at, kind, priority, state, acknowledged, "
            "ack_operator_id, ack_at, closed_at) VALUES (?,?,?,?,?,?,?,?,?,?)");
        TSqliteStatement log = FDb.Prepare("INSERT INTO operator_log (operator_id, occurred_at, "
                                           "action, object_id, details) VALUES (?,?,?,?,?)");
        std::int64_t id = 0;
        for (int day = 0; day < FOptions.Days; ++day) {
            const double windowEnd = FNow - day; // every 24 hours ending at "now" get the count
            for (int n = 0; n < FOptions.AlarmsPerDay; ++n) {
                const TObject& object = FObjects[std::size_t(FRandom.Below(int(FObjects.size())))];
                const TAlarmKind kind = KindFor(object.Kind);
                const double raised = windowEnd - FRandom.Unit();
                // Urgent alarms are answered within minutes, minor ones within hours; a few
                // are never acknowledged.
                const double spread[] = {0, 240, 60, 15, 5};
                const double ackAt = raised + (1 + FRandom.Unit() * spread[kind.Priority]) * Minute;
                const bool acknowledged = ackAt <= FNow && !FRandom.Chance(0.02);
                const double closedAt = ackAt + (5 + FRandom.Unit() * 115) * Minute;
                const bool closed = acknowledged && closedAt <= FNow;
                const int operatorId = RandomOperator();
                const std::string details = "Alarm " + std::to_string(id + 1) + ": " + kind.Name;

                alarm.BindInt(1, ++id);
                alarm.BindInt(2, object.Id);
                alarm.BindDouble(3, raised);
                alarm.BindText(4, kind.Name);
                alarm.BindInt(5, kind.Priority);
                alarm.BindText(6, closed ? "Closed" : acknowledged ? "Acknowledged" : "Active");
                alarm.BindInt(7, acknowledged ? 1 : 0);
                if (acknowledged) {
                    alarm.BindInt(8, operatorId);
                    alarm.BindDouble(9, ackAt);
                } else {
                    alarm.BindNull(8);
                    alarm.BindNull(9);
                }
                if (closed) {
                    alarm.BindDouble(10, closedAt);
                } else {
                    alarm.BindNull(10);
                }
                alarm.Run();
                if (acknowledged) {
                    Log(log, operatorId, ackAt, "Acknowledge alarm", object.Id, details);
                }
                if (closed) {
                    Log(log, operatorId, closedAt, "Close alarm", object.Id, details);
                }
            }
        }
    }

    TAlarmKind KindFor(const char* objectKind) noexcept {
        if (std::strcmp(objectKind, "Door") == 0) {
            return FRandom.Pick(DoorAlarms);
        }
        if (std::strcmp(objectKind, "Camera") == 0) {
            return FRandom.Pick(CameraAlarms);
        }
        return FRandom.Pick(SensorAlarms);
    }

    static void Log(TSqliteStatement& log, int operatorId, double at, const char* action,
                    std::int64_t objectId, const std::string& details) {
        log.BindInt(1, operatorId);
        log.BindDouble(2, at);
        log.BindText(3, action);
        if (objectId > 0) {
            log.BindInt(4, objectId);
        } else {
            log.BindNull(4);
        }
        log.BindText(5, details);
        log.Run();
    }

    // Most people badge in and out during working hours.
    double VisitTimeOfDay() noexcept {
        if (FRandom.Chance(0.85)) {
            return (7.0 + FRandom.Unit() * 12.0) / 24.0;
        }
        return FRandom.Unit();
    }

    void AccessEvents() {
        TSqliteStatement event = FDb.Prepare("INSERT INTO access_events (door_id, occurred_at, "
                                             "card_holder_id, granted, reason) VALUES (?,?,?,?,?)");
        for (int day = 0; day < FOptions.Days; ++day) {
            const double windowStart = FNow - day - 1;
            const int weekday = rtl::DayOfTheWeek(windowStart + 0.5);
            const int count =
                weekday >= 6 ? FOptions.AccessEventsPerDay / 4 : FOptions.AccessEventsPerDay;
            for (int n = 0; n < count; ++n) {
                // The moment of the window [windowStart, windowStart + 1) at that time of day.
                double at = std::floor(windowStart) + VisitTimeOfDay();
                if (at < windowStart) {
                    at += 1;
                }
                const bool unknownCard = FRandom.Chance(0.02);
                const bool granted = !unknownCard && !FRandom.Chance(0.05);
                event.BindInt(1, FDoors[std::size_t(FRandom.Below(int(FDoors.size())))]);
                event.BindDouble(2, at);
                if (unknownCard) {
                    event.BindNull(3);
                } else {
                    event.BindInt(3, 1 + FRandom.Below(FCardHolders));
                }
                event.BindInt(4, granted ? 1 : 0);
                event.BindText(5, granted       ? "Valid card"
                                  : unknownCard ? DeniedReasons[0]
                                                : DeniedReasons[1 + std::size_t(FRandom.Below(3))]);
                event.Run();
            }
        }
    }

    void OtherActionsLog() {
        TSqliteStatement log = FDb.Prepare("INSERT INTO operator_log (operator_id, occurred_at, "
                                           "action, object_id, details) VALUES (?,?,?,?,?)");
        const long total = long(FOptions.OperatorActionsPerDay) * FOptions.Days;
        for (long n = 0; n < total; ++n) {
            const TOtherAction& action = FRandom.Pick(OtherActions);
            std::int64_t objectId = 0;
            std::string details = "Workstation " + std::to_string(1 + FRandom.Below(4));
            if (action.ObjectKind != nullptr) {
                // Draw until the kind fits; every site has objects of every kind.
                const TObject* object = nullptr;
                do {
                    object = &FObjects[std::size_t(FRandom.Below(int(FObjects.size())))];
                } while (std::strcmp(object->Kind, action.ObjectKind) != 0);
                objectId = object->Id;
                details = std::string(action.Action) + " from workstation " +
                          std::to_string(1 + FRandom.Below(4));
            }
            Log(log, RandomOperator(), PastMoment(), action.Action, objectId, details);
        }
    }

    // An object with an alarm still waiting for acknowledgement shows it.
    void ObjectStates() {
        FDb.Exec("UPDATE objects SET state = 'Alarm', last_change = (SELECT max(raised_at) FROM "
                 "alarms a WHERE a.object_id = objects.id AND a.state = 'Active') WHERE EXISTS "
                 "(SELECT 1 FROM alarms a WHERE a.object_id = objects.id AND a.state = 'Active')");
    }

    TSqliteDatabase& FDb;
    rtl::TDateTime FNow;
    TDemoServerOptions FOptions;
    TRandom FRandom;
    std::vector<TObject> FObjects;
    std::vector<std::int64_t> FDoors;
    int FCardHolders = 0;
};

void CheckRange(const char* name, long value, long low, long high) {
    if (value < low || value > high) {
        throw rtl::EConvertError("Demo server option " + std::string(name) + " = " +
                                 std::to_string(value) + " is outside " + std::to_string(low) +
                                 ".." + std::to_string(high));
    }
}

std::string TemporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

void SyncFile(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) {
        throw ESqliteError("Cannot open " + path + ": " + std::strerror(errno));
    }
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    // Some file systems cannot sync a directory; the data itself was synced already.
    if (rc != 0 && !(flags & O_DIRECTORY)) {
        throw ESqliteError("Cannot write " + path + ": " + std::strerror(error));
    }
}

} // namespace

void CheckDemoServerOptions(const TDemoServerOptions& options) {
    CheckRange("Days", options.Days, 1, 3660);
    CheckRange("AlarmsPerDay", options.AlarmsPerDay, 0, 1'000'000);
    CheckRange("AccessEventsPerDay", options.AccessEventsPerDay, 0, 1'000'000);
    CheckRange("OperatorActionsPerDay", options.OperatorActionsPerDay, 0, 1'000'000);
    CheckRange("Sites", options.Sites, 1, 100);
}

void GenerateDemoServer(TSqliteDatabase& db, rtl::TDateTime now,
                        const TDemoServerOptions& options) {
    CheckDemoServerOptions(options);
    db.Exec("BEGIN");
    try {
        TGenerator(db, now, options).Run();
        db.Exec("COMMIT");
    } catch (...) {
        try {
            db.Exec("ROLLBACK");
        } catch (const ESqliteError&) {
            // The transaction may already be gone with the error that brought us here.
        }
        throw;
    }
}

bool CreateDemoServer(const std::string& path, rtl::TDateTime now,
                      const TDemoServerOptions& options) {
    CheckDemoServerOptions(options);
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        return false;
    }
    const std::string temporary = TemporaryName(path);
    try {
        {
            TSqliteDatabase db(temporary, TSqliteDatabase::TOpenMode::Create);
            // Nothing to protect until the file has its name: skip the journal and the syncs.
            db.Exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF");
            GenerateDemoServer(db, now, options);
        }
        SyncFile(temporary, O_RDONLY);
        // link() never replaces: a server another process made meanwhile wins and stays.
        if (::link(temporary.c_str(), path.c_str()) == 0) {
            ::unlink(temporary.c_str());
        } else if (errno == EEXIST) {
            ::unlink(temporary.c_str());
            return false;
        } else if (::rename(temporary.c_str(), path.c_str()) != 0) {
            throw ESqliteError("Cannot create " + path + ": " + std::strerror(errno));
        }
        const std::filesystem::path parent = std::filesystem::path(path).parent_path();
        SyncFile(parent.empty() ? "." : parent.string(), O_RDONLY | O_DIRECTORY);
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    return true;
}

std::shared_ptr<TSqliteDatabase> OpenDemoServer(const std::string& path, rtl::TDateTime now,
                                                const TDemoServerOptions& options) {
    CreateDemoServer(path, now, options);
    return std::make_shared<TSqliteDatabase>(path, TSqliteDatabase::TOpenMode::ReadOnly);
}

} // namespace host
