// The schedule describer in German, as morvid-cron and the window load it, and the German file
// itself: every translation keeps the placeholders of its source.
#include "translations/Translations.h"

#include "platform/host/delivery/MailOrder.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/Words.h"
#include "scheduler/ScheduleWords.h"

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <cstdlib>
#include <gtest/gtest.h>
#include <set>

namespace {

// Before the first use of the locale, which Qt reads once.
void UseGerman() {
    static const bool once = [] {
        ::setenv("LANGUAGE", "de", 1);
        morvid::LoadTranslations();
        return true;
    }();
    (void)once;
}

TEST(GermanScheduleWords, EverySampleReadsAsAGermanSentence) {
    UseGerman();
    struct TCase {
        const char* Task;
        bool Described;
        const char* Text;
    };
    const TCase cases[] = {
        {"30 6 * * 1-5 *", true, "Um 06:30, Montag bis Freitag"},
        {"0 6 * * 6 *", true, "Um 06:00, am Samstag"},
        {"*/5 * * * * *", true, "Alle 5 Minuten"},
        {"5 * * * * *", true, "In Minute 5 jeder Stunde"},
        {"5,10 * * * * *", true, "In den Minuten 5 und 10 jeder Stunde"},
        {"*/30 8 * * * *", true, "Um 08:00 und 08:30 jeden Tag"},
        {"*/5 8 * * * *", true, "Alle 5 Minuten in Stunde 8"},
        {"*/15 8,20 * * * *", true, "Alle 15 Minuten in den Stunden 8 und 20"},
        {"0 0 1 1,4,7,10 * *", true, "Um 00:00 am Tag 1 im Januar, April, Juli und Oktober"},
        {"0 8 1,15 * * *", true, "Um 08:00 an den Tagen 1 und 15 jedes Monats"},
        {"30 8 1-7 3 5 *", true, "Um 08:30 an den ersten 7 Tagen im März, wenn es ein Freitag ist"},
        {"0 8 * 6-8 * *", true, "Um 08:00 im Juni bis August"},
        {"?/20 * * * * *", true, "Alle 20 Minuten, gezählt ab dem ersten Lauf"},
        {"?/1 * * * * *", true, "Jede Minute, gezählt ab dem ersten Lauf"},
        {"0 ?/1 * * * *", true, "In Minute 0, jede Stunde, gezählt ab dem ersten Lauf"},
        {"0 ?/3 * * * *", true, "In Minute 0, alle 3 Stunden, gezählt ab dem ersten Lauf"},
        {"0 12 * * * 2026,2028", true, "Um 12:00 jeden Tag, in den Jahren 2026 und 2028"},
        {"0 8 * * * 2026,2028,2030,2032", true,
         "Um 08:00 jeden Tag, in jedem 2. Jahr von 2026 bis 2032"},
        {"*/15 ? * * ? ?", true,
         "Alle 15 Minuten während der Stunde des ersten Laufs, im Jahr des ersten Laufs"},
        {"0 0 30 2 * *", true, "Um 00:00 am Tag 30 im Februar (nie fällig: kein Datum passt)"},
        {"?/20 8 * * *", false,
         "Keine Beschreibung in Worten: mit '?' so kombiniert, hängen die Fälligkeiten vom "
         "ersten Lauf ab (die nächsten Läufe zeigen sie)"},
    };
    for (const TCase& c : cases) {
        const morvid::TScheduleWords words = morvid::DescribeTaskSchedule(c.Task);
        EXPECT_EQ(words.Described, c.Described) << c.Task;
        EXPECT_EQ(words.Text, c.Text) << c.Task;
    }
}

std::set<QString> Placeholders(const QString& text) {
    static const QRegularExpression marker(QStringLiteral("%[1-9n]"));
    std::set<QString> found;
    for (const QRegularExpressionMatch& match : marker.globalMatch(text)) {
        found.insert(match.captured());
    }
    return found;
}

// A translation that drops or adds an argument would show a raw "%2", or lose the task's name.
// A mail speaks the reader's language, its run's result too; the cause of an error stays as the
// run gave it, and a result the file does not know as it was stored.
TEST(GermanMail, TheTemplatesAndTheRunsResultReadAsGerman) {
    UseGerman();
    struct TCase {
        const char* Result;
        const char* Subject;
    };
    const TCase cases[] = {
        {"Success!", "Türen: 2026-03-06 — Erfolg!"},
        {"Error: export failed as PDF document: disk full",
         "Türen: 2026-03-06 — Fehler: export failed as PDF document: disk full"},
        {"Skipped: the report has no rows",
         "Türen: 2026-03-06 — Übersprungen: der Bericht hat keine Zeilen"},
        {"User canceled", "Türen: 2026-03-06 — Vom Benutzer abgebrochen"},
        {"Success", "Türen: 2026-03-06 — Success"},
    };
    host::TMailFacts facts;
    facts.Run.TaskName = "Türen";
    facts.Run.ReportName = "Object status";
    facts.Run.Due = rtl::EncodeDateTime(2026, 3, 6, 6, 30, 0, 0);
    facts.Rows = 3;
    facts.Files = "Türen.pdf";
    for (const TCase& c : cases) {
        facts.Run.Result = c.Result;
        EXPECT_EQ(host::ExpandMailTemplate(host::DefaultMailSubject, facts), c.Subject);
    }
    facts.Run.Result = "Success!";
    EXPECT_EQ(host::ExpandMailTemplate(rtl::Words("MailOrder", host::DefaultMailBody), facts, true),
              "Zeitraum: 2026-03-06\n"
              "Fällig: 2026-03-06 06:30\n"
              "Ergebnis: Erfolg!\n"
              "Zeilen: 3\n"
              "Angehängt: Türen.pdf\n");
}

TEST(GermanFile, EveryTranslationKeepsThePlaceholdersOfItsSource) {
    QFile file(QString::fromLocal8Bit(std::getenv("MORVID_SOURCE_DIR")) +
               QStringLiteral("/translations/morvid_de.ts"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    QXmlStreamReader xml(&file);
    QString source;
    bool numerus = false;
    int checked = 0;
    while (!xml.atEnd()) {
        if (!xml.readNextStartElement()) {
            continue;
        }
        if (xml.name() == u"message") {
            numerus = xml.attributes().value(QStringLiteral("numerus")) == QStringLiteral("yes");
        } else if (xml.name() == u"source") {
            source = xml.readElementText();
        } else if ((xml.name() == u"translation" && !numerus) || xml.name() == u"numerusform") {
            const QString text = xml.readElementText();
            std::set<QString> wanted = Placeholders(source);
            std::set<QString> got = Placeholders(text);
            // A form for one may say "one" in words instead of %n.
            wanted.erase(QStringLiteral("%n"));
            got.erase(QStringLiteral("%n"));
            EXPECT_EQ(got, wanted) << source.toStdString() << " -> " << text.toStdString();
            ++checked;
        }
    }
    // Reading on past the root's end reports the document's end as premature; nothing else may.
    EXPECT_TRUE(xml.error() == QXmlStreamReader::NoError ||
                xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
        << xml.errorString().toStdString() << " line " << xml.lineNumber();
    EXPECT_GT(checked, 200);
}

} // namespace
