<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ActiveDates</name>
    <message>
        <source>Not yet active</source>
        <translation>Noch nicht aktiv</translation>
    </message>
    <message>
        <source>Ended</source>
        <translation>Beendet</translation>
    </message>
</context>
<context>
    <name>DotMatrixExport</name>
    <message>
        <source>Page %1 of %2</source>
        <translation>Seite %1 von %2</translation>
    </message>
</context>
<context>
    <name>ExportPath</name>
    <message>
        <source>The export path is empty</source>
        <translation>Der Exportpfad ist leer</translation>
    </message>
    <message>
        <source>Not a full path: start it with &quot;/&quot; or &quot;~/&quot;.</source>
        <translation>Kein vollständiger Pfad: beginnen Sie ihn mit „/“ oder „~/“.</translation>
    </message>
</context>
<context>
    <name>MailOrder</name>
    <message>
        <source>The zip of this run&apos;s files, %1 (%2), is larger than the mail may carry (%3); it was not attached. The files are at:</source>
        <translation>Das Zip-Archiv der Dateien dieses Laufs, %1 (%2), ist größer, als eine Mail tragen darf (%3); es wurde nicht angehängt. Die Dateien liegen hier:</translation>
    </message>
    <message>
        <source>{task}: {period} — {result}</source>
        <translation>{task}: {period} — {result}</translation>
    </message>
    <message>
        <source>Task</source>
        <translation>Aufgabe</translation>
    </message>
    <message>
        <source>Period</source>
        <translation>Zeitraum</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Ergebnis</translation>
    </message>
    <message>
        <source>Rows</source>
        <translation>Zeilen</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
    <message>
        <source>Period: {period}
Due: {due}
Result: {result}
Rows: {rows}
Attached: {files}
</source>
        <translation>Zeitraum: {period}
Fällig: {due}
Ergebnis: {result}
Zeilen: {rows}
Angehängt: {files}
</translation>
    </message>
    <message>
        <source>Error: %1</source>
        <translation>Fehler: %1</translation>
    </message>
    <message>
        <source>Success!</source>
        <translation>Erfolg!</translation>
    </message>
    <message>
        <source>User canceled</source>
        <translation>Vom Benutzer abgebrochen</translation>
    </message>
    <message>
        <source>Skipped: the report has no rows</source>
        <translation>Übersprungen: der Bericht hat keine Zeilen</translation>
    </message>
</context>
<context>
    <name>ReportCells</name>
    <message>
        <source>Run at %1</source>
        <translation>Ausgeführt am %1</translation>
    </message>
    <message>
        <source>No rows for these parameters</source>
        <translation>Keine Zeilen für diese Parameter</translation>
    </message>
</context>
<context>
    <name>ScheduleItem</name>
    <message>
        <source>Never</source>
        <translation>Nie</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>Retrying at %1 (%2 of %3)</source>
        <translation>Neuer Versuch um %1 (%2 von %3)</translation>
    </message>
</context>
<context>
    <name>ScheduleWords</name>
    <message>
        <source>January</source>
        <translation>Januar</translation>
    </message>
    <message>
        <source>February</source>
        <translation>Februar</translation>
    </message>
    <message>
        <source>March</source>
        <translation>März</translation>
    </message>
    <message>
        <source>April</source>
        <translation>April</translation>
    </message>
    <message>
        <source>May</source>
        <translation>Mai</translation>
    </message>
    <message>
        <source>June</source>
        <translation>Juni</translation>
    </message>
    <message>
        <source>July</source>
        <translation>Juli</translation>
    </message>
    <message>
        <source>August</source>
        <translation>August</translation>
    </message>
    <message>
        <source>September</source>
        <translation>September</translation>
    </message>
    <message>
        <source>October</source>
        <translation>Oktober</translation>
    </message>
    <message>
        <source>November</source>
        <translation>November</translation>
    </message>
    <message>
        <source>December</source>
        <translation>Dezember</translation>
    </message>
    <message>
        <source>Monday</source>
        <translation>Montag</translation>
    </message>
    <message>
        <source>Tuesday</source>
        <translation>Dienstag</translation>
    </message>
    <message>
        <source>Wednesday</source>
        <translation>Mittwoch</translation>
    </message>
    <message>
        <source>Thursday</source>
        <translation>Donnerstag</translation>
    </message>
    <message>
        <source>Friday</source>
        <translation>Freitag</translation>
    </message>
    <message>
        <source>Saturday</source>
        <translation>Samstag</translation>
    </message>
    <message>
        <source>Sunday</source>
        <translation>Sonntag</translation>
    </message>
    <message numerus="yes">
        <source>%nth</source>
        <comment>%nth</comment>
        <translation>
            <numerusform>%n.</numerusform>
            <numerusform>%n.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%nst</source>
        <comment>%nst</comment>
        <translation>
            <numerusform>%n.</numerusform>
            <numerusform>%n.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%nnd</source>
        <comment>%nnd</comment>
        <translation>
            <numerusform>%n.</numerusform>
            <numerusform>%n.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%nrd</source>
        <comment>%nrd</comment>
        <translation>
            <numerusform>%n.</numerusform>
            <numerusform>%n.</numerusform>
        </translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>%1 or %2</source>
        <translation>%1 oder %2</translation>
    </message>
    <message>
        <source>%1 and %2</source>
        <translation>%1 und %2</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 bis %2</translation>
    </message>
    <message>
        <source>At the first run&apos;s time of day</source>
        <translation>Zur Tageszeit des ersten Laufs</translation>
    </message>
    <message>
        <source>At the first run&apos;s minute of every hour</source>
        <translation>In der Minute des ersten Laufs in jeder Stunde</translation>
    </message>
    <message>
        <source>At the first run&apos;s minute during the first run&apos;s hour</source>
        <translation>In der Minute des ersten Laufs während der Stunde des ersten Laufs</translation>
    </message>
    <message numerus="yes">
        <source>At the first run&apos;s minute during hours %1</source>
        <comment>At the first run&apos;s minute during hour %1</comment>
        <translation>
            <numerusform>In der Minute des ersten Laufs in Stunde %1</numerusform>
            <numerusform>In der Minute des ersten Laufs in den Stunden %1</numerusform>
        </translation>
    </message>
    <message>
        <source>At %1</source>
        <translation>Um %1</translation>
    </message>
    <message>
        <source>Every minute</source>
        <translation>Jede Minute</translation>
    </message>
    <message numerus="yes">
        <source>Every %n minutes</source>
        <comment>Every minute</comment>
        <translation>
            <numerusform>Jede Minute</numerusform>
            <numerusform>Alle %n Minuten</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>At minutes %1</source>
        <comment>At minute %1</comment>
        <translation>
            <numerusform>In Minute %1</numerusform>
            <numerusform>In den Minuten %1</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 during the first run&apos;s hour</source>
        <translation>%1 während der Stunde des ersten Laufs</translation>
    </message>
    <message numerus="yes">
        <source>%1 during hours %2</source>
        <comment>%1 during hour %2</comment>
        <translation>
            <numerusform>%1 in Stunde %2</numerusform>
            <numerusform>%1 in den Stunden %2</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 of every hour</source>
        <translation>%1 jeder Stunde</translation>
    </message>
    <message>
        <source>day %1</source>
        <translation>am Tag %1</translation>
    </message>
    <message numerus="yes">
        <source>the first %n days</source>
        <comment>the first day</comment>
        <translation>
            <numerusform>am ersten Tag</numerusform>
            <numerusform>an den ersten %n Tagen</numerusform>
        </translation>
    </message>
    <message>
        <source>days %1</source>
        <translation>an den Tagen %1</translation>
    </message>
    <message>
        <source>in the year %1</source>
        <translation>im Jahr %1</translation>
    </message>
    <message>
        <source>in every %1 year from %2 to %3</source>
        <translation>in jedem %1 Jahr von %2 bis %3</translation>
    </message>
    <message>
        <source>in the years %1</source>
        <translation>in den Jahren %1</translation>
    </message>
    <message>
        <source>the first run&apos;s month</source>
        <translation>Monat des ersten Laufs</translation>
    </message>
    <message>
        <source>%1 on %2 of every month</source>
        <translation>%1 %2 jedes Monats</translation>
    </message>
    <message>
        <source>%1 on %2 of %3</source>
        <translation>%1 %2 im %3</translation>
    </message>
    <message>
        <source>%1 in %2</source>
        <translation>%1 im %2</translation>
    </message>
    <message>
        <source>%1, if it is a %2</source>
        <translation>%1, wenn es ein %2 ist</translation>
    </message>
    <message>
        <source>%1, on %2</source>
        <translation>%1, am %2</translation>
    </message>
    <message>
        <source>%1, in the first run&apos;s year</source>
        <translation>%1, im Jahr des ersten Laufs</translation>
    </message>
    <message>
        <source>No description in words: with &apos;?&apos; combined like this, the due times depend on the first run (the next runs show them)</source>
        <translation>Keine Beschreibung in Worten: mit &apos;?&apos; so kombiniert, hängen die Fälligkeiten vom ersten Lauf ab (die nächsten Läufe zeigen sie)</translation>
    </message>
    <message>
        <source>Every hour at the minute of the first run</source>
        <translation>Jede Stunde in der Minute des ersten Laufs</translation>
    </message>
    <message numerus="yes">
        <source>Every %n minutes, counted from the first run</source>
        <comment>Every minute, counted from the first run</comment>
        <translation>
            <numerusform>Jede Minute, gezählt ab dem ersten Lauf</numerusform>
            <numerusform>Alle %n Minuten, gezählt ab dem ersten Lauf</numerusform>
        </translation>
    </message>
    <message>
        <source>Every day at minute %1 of the hour of the first run</source>
        <translation>Jeden Tag in Minute %1 der Stunde des ersten Laufs</translation>
    </message>
    <message numerus="yes">
        <source>At minute %1, every %n hours, counted from the first run</source>
        <comment>At minute %1, every hour, counted from the first run</comment>
        <translation>
            <numerusform>In Minute %1, jede Stunde, gezählt ab dem ersten Lauf</numerusform>
            <numerusform>In Minute %1, alle %n Stunden, gezählt ab dem ersten Lauf</numerusform>
        </translation>
    </message>
    <message>
        <source>A step below 0 after &apos;?&apos; is not valid (%1 field)</source>
        <translation>Ein Schritt unter 0 nach &apos;?&apos; ist nicht gültig (Feld %1)</translation>
    </message>
    <message>
        <source>Only schedules due at second 0 have a description in words</source>
        <translation>Nur Zeitpläne, die in Sekunde 0 fällig sind, haben eine Beschreibung in Worten</translation>
    </message>
    <message>
        <source>%1 every day</source>
        <translation>%1 jeden Tag</translation>
    </message>
    <message>
        <source>%1 (never due: no date matches)</source>
        <translation>%1 (nie fällig: kein Datum passt)</translation>
    </message>
    <message>
        <source>%1, on the last %2 of the month</source>
        <translation>%1, am letzten %2 des Monats</translation>
    </message>
    <message>
        <source>%1, if it is the last %2 of the month</source>
        <translation>%1, wenn es der letzte %2 des Monats ist</translation>
    </message>
</context>
<context>
    <name>ServerReport</name>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
</context>
<context>
    <name>SettingsHandOver</name>
    <message>
        <source>the client holding them does not offer them on the session bus</source>
        <translation>der Client, der sie hält, bietet sie nicht auf dem Sitzungsbus an</translation>
    </message>
    <message>
        <source>it did not hand them over: %1</source>
        <translation>er hat sie nicht übergeben: %1</translation>
    </message>
    <message>
        <source>it did not let go of them in time: %1</source>
        <translation>er hat sie nicht rechtzeitig freigegeben: %1</translation>
    </message>
    <message>
        <source>this client is letting go of its settings already</source>
        <translation>dieser Client gibt seine Einstellungen bereits frei</translation>
    </message>
    <message>
        <source>a dialog is open in its window, and an edit there would be lost; close it there first, or use that window</source>
        <translation>in seinem Fenster ist ein Dialog offen, und eine Bearbeitung dort ginge verloren; schließen Sie ihn dort zuerst, oder benutzen Sie jenes Fenster</translation>
    </message>
    <message>
        <source>Took the settings over from %1; it takes them back when this window closes</source>
        <translation>Einstellungen übernommen von %1; er nimmt sie zurück, wenn dieses Fenster geschlossen wird</translation>
    </message>
    <message>
        <source>Took the settings over from %1, which has ended: once this window closes no client runs the report tasks until one is started again</source>
        <translation>Einstellungen übernommen von %1, der beendet ist: sobald dieses Fenster geschlossen wird, führt kein Client die Berichtsaufgaben aus, bis wieder einer gestartet wird</translation>
    </message>
    <message>
        <source>%1, which waited for them, took them first; %2</source>
        <translation>%1, der auf sie wartete, hat sie zuerst übernommen; %2</translation>
    </message>
    <message>
        <source>Took the settings over from %1, which has closed; %2, which had them in between, takes them back when this window closes</source>
        <translation>Einstellungen übernommen von %1, der geschlossen ist; %2, der sie zwischendurch hatte, nimmt sie zurück, wenn dieses Fenster geschlossen wird</translation>
    </message>
    <message>
        <source>Took the settings over from %1, which has ended; %2, which had them in between, takes them back when this window closes</source>
        <translation>Einstellungen übernommen von %1, der beendet ist; %2, der sie zwischendurch hatte, nimmt sie zurück, wenn dieses Fenster geschlossen wird</translation>
    </message>
    <message>
        <source>Took the settings over from %1, which has closed: once this window closes no client runs the report tasks until one is started again</source>
        <translation>Einstellungen übernommen von %1, der geschlossen ist: sobald dieses Fenster geschlossen wird, führt kein Client die Berichtsaufgaben aus, bis wieder einer gestartet wird</translation>
    </message>
</context>
<context>
    <name>SettingsHolder</name>
    <message>
        <source>another client</source>
        <translation>einem anderen Client</translation>
    </message>
    <message>
        <source>the service %1 (process %2)</source>
        <translation>dem Dienst %1 (Prozess %2)</translation>
    </message>
    <message>
        <source>a headless client (process %1)</source>
        <translation>einem Client ohne Fenster (Prozess %1)</translation>
    </message>
    <message>
        <source>a client with its window (process %1)</source>
        <translation>einem Client mit Fenster (Prozess %1)</translation>
    </message>
    <message>
        <source>another program (process %1)</source>
        <translation>einem anderen Programm (Prozess %1)</translation>
    </message>
    <message>
        <source>%1 (process %2)</source>
        <translation>%1 (Prozess %2)</translation>
    </message>
    <message>
        <source>The service runs the report tasks. To change them in the window, stop it first (&quot;%1 stop %2&quot;) and start it again when the window is closed; or give this client a settings file of its own with --settings.</source>
        <translation>Der Dienst führt die Berichtsaufgaben aus. Um sie im Fenster zu ändern, beenden Sie ihn zuerst („%1 stop %2“) und starten ihn wieder, wenn das Fenster geschlossen ist; oder geben Sie diesem Client mit --settings eine eigene Einstellungsdatei.</translation>
    </message>
    <message>
        <source>End the other client and start again, or give this client a settings file of its own with --settings.</source>
        <translation>Beenden Sie den anderen Client und starten Sie neu, oder geben Sie diesem Client mit --settings eine eigene Einstellungsdatei.</translation>
    </message>
    <message>
        <source>End it first (&quot;kill %1&quot;, which saves its settings) and start again, or give this client a settings file of its own with --settings.</source>
        <translation>Beenden Sie ihn zuerst („kill %1“, das seine Einstellungen speichert) und starten Sie neu, oder geben Sie diesem Client mit --settings eine eigene Einstellungsdatei.</translation>
    </message>
    <message>
        <source>Use the window that is already open, or close it and start again.</source>
        <translation>Benutzen Sie das Fenster, das bereits offen ist, oder schließen Sie es und starten Sie neu.</translation>
    </message>
    <message>
        <source>Start again when it has ended.</source>
        <translation>Starten Sie neu, wenn es beendet ist.</translation>
    </message>
    <message>
        <source>the settings file &quot;%1&quot; is in use by %2; one settings file serves one client</source>
        <translation>die Einstellungsdatei „%1“ wird verwendet von %2; eine Einstellungsdatei dient einem Client</translation>
    </message>
</context>
<context>
    <name>StopQuestions</name>
    <message numerus="yes">
        <source>Disconnect from the server? %n report tasks are armed; they do not run until the client connects again.</source>
        <comment>Disconnect from the server? %n report task is armed; it does not run until the client connects again.</comment>
        <translation>
            <numerusform>Vom Server trennen? %n Berichtsaufgabe ist aktiv; sie läuft nicht, bis der Client wieder verbunden ist.</numerusform>
            <numerusform>Vom Server trennen? %n Berichtsaufgaben sind aktiv; sie laufen nicht, bis der Client wieder verbunden ist.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Exit? %n report tasks are armed; they do not run here any more; the service that handed them over takes them back.</source>
        <comment>Exit? %n report task is armed; it does not run here any more; the service that handed them over takes them back.</comment>
        <translation>
            <numerusform>Beenden? %n Berichtsaufgabe ist aktiv; sie läuft hier nicht mehr; der Dienst, der sie übergeben hat, nimmt sie zurück.</numerusform>
            <numerusform>Beenden? %n Berichtsaufgaben sind aktiv; sie laufen hier nicht mehr; der Dienst, der sie übergeben hat, nimmt sie zurück.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Exit? %n report tasks are armed; they do not run until this window or the service runs again.</source>
        <comment>Exit? %n report task is armed; it does not run until this window or the service runs again.</comment>
        <translation>
            <numerusform>Beenden? %n Berichtsaufgabe ist aktiv; sie läuft nicht, bis dieses Fenster oder der Dienst wieder läuft.</numerusform>
            <numerusform>Beenden? %n Berichtsaufgaben sind aktiv; sie laufen nicht, bis dieses Fenster oder der Dienst wieder läuft.</numerusform>
        </translation>
    </message>
    <message>
        <source>%1

Leave them to the service %2? Yes starts it; it takes the settings once this window has closed. No exits without it.</source>
        <translation>%1

Sie dem Dienst %2 überlassen? Ja startet ihn; er übernimmt die Einstellungen, sobald dieses Fenster geschlossen ist. Nein beendet ohne ihn.</translation>
    </message>
</context>
<context>
    <name>TaskName</name>
    <message>
        <source>The name is empty</source>
        <translation>Der Name ist leer</translation>
    </message>
    <message>
        <source>The name holds the control character %1 at character %2: a name is one line of printable text</source>
        <translation>Der Name enthält das Steuerzeichen %1 an Zeichen %2: ein Name ist eine Zeile druckbaren Textes</translation>
    </message>
    <message>
        <source>The name has %1 characters; at most %2 are allowed</source>
        <translation>Der Name hat %1 Zeichen; höchstens %2 sind erlaubt</translation>
    </message>
</context>
<context>
    <name>TaskZone</name>
    <message>
        <source>Time zone &quot;%1&quot; is not in the system&apos;s time zone database</source>
        <translation>Die Zeitzone „%1“ steht nicht in der Zeitzonendatenbank des Systems</translation>
    </message>
</context>
<context>
    <name>XlsxExport</name>
    <message>
        <source>Run at</source>
        <translation>Ausgeführt am</translation>
    </message>
</context>
<context>
    <name>host::TDLGReportParameters</name>
    <message>
        <source>The report &quot;%1&quot; needs these values:</source>
        <translation>Der Bericht „%1“ braucht diese Werte:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>host::TPdfExport</name>
    <message>
        <source>Page %1 of %2</source>
        <translation>Seite %1 von %2</translation>
    </message>
</context>
<context>
    <name>host::TTreeListDelegate</name>
    <message>
        <source>Calendar</source>
        <translation>Kalender</translation>
    </message>
</context>
<context>
    <name>morvid-cron</name>
    <message>
        <source>usage: morvid-cron batch [--from T] &lt; LINES
Reads lines REFERENCE&lt;TAB&gt;SCHEDULE (engine form) and prints one line for each, in order:
the next due time after REFERENCE, &quot;never&quot;, or &quot;error: MESSAGE&quot;. An empty REFERENCE
means --from, or now when --from is not given.
</source>
        <translation>Aufruf: morvid-cron batch [--from T] &lt; ZEILEN
Liest Zeilen REFERENZ&lt;TAB&gt;ZEITPLAN (Engine-Form) und gibt für jede eine Zeile aus, in
der Reihenfolge: die nächste Fälligkeit nach REFERENZ, &quot;never&quot; oder &quot;error: MELDUNG&quot;.
Eine leere REFERENZ bedeutet --from, oder jetzt, wenn --from fehlt.
</translation>
    </message>
    <message>
        <source>usage: morvid-cron check [--task] SCHEDULE
Parses SCHEDULE (engine form: second minute hour day month weekday year)
and prints &quot;ok&quot;, or on stderr with exit code 2 why it is refused: the
parser&apos;s message, or a value outside its field&apos;s range (day 32). --task
reads the six-field task form (minute first) and checks it as the schedule
editor does: as written, then armed with second 0, searched for a due time.
</source>
        <translation>Aufruf: morvid-cron check [--task] ZEITPLAN
Liest ZEITPLAN (Engine-Form: Sekunde Minute Stunde Tag Monat Wochentag Jahr)
und gibt &quot;ok&quot; aus, oder auf stderr mit Exit-Code 2, warum er abgelehnt wird:
die Meldung des Parsers oder ein Wert außerhalb des Bereichs seines Feldes
(Tag 32). --task liest die sechsteilige Aufgabenform (Minute zuerst) und prüft
sie wie der Zeitplan-Editor: wie geschrieben, dann mit Sekunde 0 scharf
geschaltet und nach einer Fälligkeit durchsucht.
</translation>
    </message>
    <message>
        <source>usage: morvid-cron explain [--task] SCHEDULE
Prints SCHEDULE in plain words, or on stderr why it has no description
(exit code 2). SCHEDULE is the engine form (second minute hour day month
weekday year; only second 0 is described); --task reads the six-field task
form (minute first).
</source>
        <translation>Aufruf: morvid-cron explain [--task] ZEITPLAN
Gibt ZEITPLAN in Worten aus, oder auf stderr, warum er keine Beschreibung hat
(Exit-Code 2). ZEITPLAN ist die Engine-Form (Sekunde Minute Stunde Tag Monat
Wochentag Jahr; nur Sekunde 0 wird beschrieben); --task liest die sechsteilige
Aufgabenform (Minute zuerst).
</translation>
    </message>
    <message>
        <source>usage: morvid-cron next [--from T] [--count N] [--start T] [--end T] [--task] SCHEDULE
Prints the next N (default 1) due times of SCHEDULE, each searched from the one before,
as YYYY-MM-DD HH:MM:SS; &quot;never&quot; when none remains. T is YYYY-MM-DD HH:MM:SS[.mmm];
without --from the search starts now. --task reads the six-field task form (minute
first) and puts second 0 in front.
</source>
        <translation>Aufruf: morvid-cron next [--from T] [--count N] [--start T] [--end T] [--task] ZEITPLAN
Gibt die nächsten N (Vorgabe 1) Fälligkeiten von ZEITPLAN aus, jede ab der vorigen
gesucht, als YYYY-MM-DD HH:MM:SS; &quot;never&quot;, wenn keine bleibt. T ist
YYYY-MM-DD HH:MM:SS[.mmm]; ohne --from beginnt die Suche jetzt. --task liest die
sechsteilige Aufgabenform (Minute zuerst) und stellt Sekunde 0 voran.
</translation>
    </message>
    <message>
        <source>usage: morvid-cron watch [--count N] [--task] SCHEDULE
Starts SCHEDULE as a scheduled event with message delivery and prints each delivery as
&quot;due &lt;time&gt; delivered &lt;time&gt; late &lt;ms&gt;&quot;. Stops after N deliveries, or on Ctrl+C
(SIGINT) or SIGTERM. Prints &quot;never&quot; and ends when no due time is left; ends with
exit status 2 and the reason on stderr when the schedule fails while it runs.
--task reads the six-field task form (minute first) and puts second 0 in front.
</source>
        <translation>Aufruf: morvid-cron watch [--count N] [--task] ZEITPLAN
Startet ZEITPLAN als geplantes Ereignis mit Nachrichtenzustellung und gibt jede
Zustellung als &quot;due &lt;Zeit&gt; delivered &lt;Zeit&gt; late &lt;ms&gt;&quot; aus. Endet nach N Zustellungen
oder bei Strg+C (SIGINT) oder SIGTERM. Gibt &quot;never&quot; aus und endet, wenn keine
Fälligkeit bleibt; endet mit Exit-Status 2 und dem Grund auf stderr, wenn der
Zeitplan im Lauf fehlschlägt. --task liest die sechsteilige Aufgabenform (Minute
zuerst) und stellt Sekunde 0 voran.
</translation>
    </message>
    <message>
        <source>check a schedule string</source>
        <translation>einen Zeitplan prüfen</translation>
    </message>
    <message>
        <source>describe a schedule in plain words</source>
        <translation>einen Zeitplan in Worten beschreiben</translation>
    </message>
    <message>
        <source>list the next due times of a schedule</source>
        <translation>die nächsten Fälligkeiten eines Zeitplans auflisten</translation>
    </message>
    <message>
        <source>answer REFERENCE&lt;TAB&gt;SCHEDULE lines from stdin</source>
        <translation>Zeilen REFERENZ&lt;TAB&gt;ZEITPLAN von stdin beantworten</translation>
    </message>
    <message>
        <source>run a schedule and print each delivery and its lateness</source>
        <translation>einen Zeitplan laufen lassen und jede Zustellung mit ihrer Verspätung ausgeben</translation>
    </message>
    <message>
        <source>usage: morvid-cron COMMAND [OPTIONS] ...
commands:
</source>
        <translation>Aufruf: morvid-cron BEFEHL [OPTIONEN] ...
Befehle:
</translation>
    </message>
    <message>
        <source>Run &quot;morvid-cron COMMAND --help&quot; for a command&apos;s options.
</source>
        <translation>&quot;morvid-cron BEFEHL --help&quot; zeigt die Optionen eines Befehls.
</translation>
    </message>
</context>
<context>
    <name>morvid-history</name>
    <message>
        <source>Usage: morvid-history [--history FILE] [--task NAME|ID] [--failed]
                      [--since &quot;YYYY-MM-DD[ HH:MM]&quot;] [--json] [--metrics[=FILE]]
                      [--check [--settings FILE] [--grace MINUTES] [--allow-empty]
                               [--max-silence MINUTES]]
Prints the runs of the report tasks, newest first: when each started, the task, how
it was started (schedule, catch-up, by hand), how long it took, its result and the
file it wrote.

Options:
  --history FILE   the run history (default: %1)
  --task NAME|ID   only the runs of this task (its name, or its identity)
  --failed         only runs that did not succeed
  --since TIME     only runs started at or after TIME (local time)
  --json           print the runs as one JSON array
  --check          judge every enabled task, print one summary line and exit 0
                   when every latest run succeeded, 2 when one failed or a
                   schedule cannot run, 3 when a task is overdue (a due time after
                   its latest run, or after it was made or enabled when it never
                   ran, lies more than the grace period back), when there is no
                   enabled task, or when the check cannot be made; 2 as well when
                   enabled tasks exist and the client on the settings, which notes
                   every minute that it runs, has not done so for --max-silence
  --metrics[=FILE] write each task&apos;s latest run, latest success, latest duration
                   and runs by outcome, the mails waiting in the outbox, and when
                   the client on each settings file was last alive, as
                   metrics in the text format of a monitoring system&apos;s file
                   collector; into FILE (replaced
                   whole, never half written) or to standard output
  --settings FILE  the client&apos;s settings, which say which tasks are enabled and
                   when they are due (--check; default: %2)
  --grace MINUTES  the grace period of --check (default: 5)
  --allow-empty    --check says OK, not UNKNOWN, when there is no enabled task
  --max-silence MINUTES  how long --check allows the client on the settings to
                   note no sign of life (default: 5)
  --help           show this help
</source>
        <translation>Aufruf: morvid-history [--history DATEI] [--task NAME|ID] [--failed]
                      [--since &quot;YYYY-MM-DD[ HH:MM]&quot;] [--json] [--metrics[=DATEI]]
                      [--check [--settings DATEI] [--grace MINUTEN] [--allow-empty]
                               [--max-silence MINUTEN]]
Gibt die Läufe der Berichtsaufgaben aus, neueste zuerst: wann jeder begann, die Aufgabe,
wie er gestartet wurde (Zeitplan, Nachholen, von Hand), wie lange er dauerte, sein
Ergebnis und die Datei, die er schrieb.

Optionen:
  --history FILE   der Verlauf der Läufe (Vorgabe: %1)
  --task NAME|ID   nur die Läufe dieser Aufgabe (ihr Name oder ihre Kennung)
  --failed         nur Läufe, die nicht gelungen sind
  --since TIME     nur Läufe, die um oder nach TIME begannen (Ortszeit)
  --json           gibt die Läufe als ein JSON-Array aus
  --check          beurteilt jede aktive Aufgabe, gibt eine Zusammenfassung aus und
                   endet mit 0, wenn jeder letzte Lauf gelang, mit 2, wenn einer
                   fehlschlug oder ein Zeitplan nicht laufen kann, mit 3, wenn eine
                   Aufgabe überfällig ist (eine Fälligkeit nach ihrem letzten Lauf,
                   oder nach ihrem Anlegen oder Aktivieren, wenn sie nie lief, liegt
                   länger als die Kulanzzeit zurück), wenn es keine aktive Aufgabe
                   gibt oder wenn die Prüfung nicht möglich ist; ebenfalls mit 2,
                   wenn es aktive Aufgaben gibt und der Client der Einstellungen,
                   der jede Minute vermerkt, dass er läuft, das seit --max-silence
                   nicht getan hat
  --metrics[=FILE] schreibt je Aufgabe den letzten Lauf, den letzten Erfolg, die letzte
                   Dauer und die Läufe nach Ausgang, die im Postausgang wartenden
                   Mails und wann der Client jeder Einstellungsdatei zuletzt lebte,
                   als Metriken im Textformat des Datei-Sammlers eines
                   Überwachungssystems; in FILE (ganz ersetzt, nie halb
                   geschrieben) oder auf die Standardausgabe
  --settings FILE  die Einstellungen des Clients, die sagen, welche Aufgaben aktiv und
                   wann sie fällig sind (--check; Vorgabe: %2)
  --grace MINUTES  die Kulanzzeit von --check (Vorgabe: 5)
  --allow-empty    --check meldet OK statt UNKNOWN, wenn keine Aufgabe aktiv ist
  --max-silence MINUTES  wie lange --check dem Client der Einstellungen erlaubt,
                   kein Lebenszeichen zu vermerken (Vorgabe: 5)
  --help           zeigt diese Hilfe
</translation>
    </message>
</context>
<context>
    <name>morvid-task</name>
    <message>
        <source>the task&apos;s name</source>
        <translation>der Name der Aufgabe</translation>
    </message>
    <message>
        <source>whether the task is armed</source>
        <translation>ob die Aufgabe aktiv ist</translation>
    </message>
    <message>
        <source>the report it runs (see: reports)</source>
        <translation>der Bericht, den sie ausführt (siehe: reports)</translation>
    </message>
    <message>
        <source>where it exports: a full path or ~/...</source>
        <translation>wohin sie exportiert: ein vollständiger Pfad oder ~/...</translation>
    </message>
    <message>
        <source>the export format (&quot;CSV table&quot;, ...)</source>
        <translation>das Exportformat (&quot;CSV table&quot;, ...)</translation>
    </message>
    <message>
        <source>when the task runs</source>
        <translation>wann die Aufgabe läuft</translation>
    </message>
    <message>
        <source>run once at start when a due time was missed</source>
        <translation>beim Start einmal laufen, wenn eine Fälligkeit verpasst wurde</translation>
    </message>
    <message>
        <source>keep only the last N exports; 0 keeps all</source>
        <translation>nur die letzten N Exporte behalten; 0 behält alle</translation>
    </message>
    <message>
        <source>a parameter, once for each in order (0 text, 1 number, 2 true/false,
3 date YYYY-MM-DD, 4 time HH:MM:SS, 5 a period word for a date such
as yesterday, 6 one for a time such as due-time); in JSON also
{&quot;NAME&quot;: VALUE} by the report&apos;s parameter names</source>
        <translation>ein Parameter, je einmal in der Reihenfolge (0 Text, 1 Zahl, 2 true/false,
3 Datum YYYY-MM-DD, 4 Uhrzeit HH:MM:SS, 5 ein Zeitraumwort für ein
Datum wie yesterday, 6 eines für eine Uhrzeit wie due-time); in JSON
auch {&quot;NAME&quot;: WERT} nach den Parameternamen des Berichts</translation>
    </message>
    <message>
        <source>the file&apos;s name below the folder, such as
&quot;{report}/{due:yyyy-MM-dd}.{ext}&quot;; empty: time-stamped</source>
        <translation>der Name der Datei unter dem Ordner, etwa
&quot;{report}/{due:yyyy-MM-dd}.{ext}&quot;; leer: mit Zeitstempel</translation>
    </message>
    <message>
        <source>what a run does when that name is taken</source>
        <translation>was ein Lauf tut, wenn der Name vergeben ist</translation>
    </message>
    <message>
        <source>the first day it runs (empty: no bound)</source>
        <translation>der erste Tag, an dem sie läuft (leer: keine Grenze)</translation>
    </message>
    <message>
        <source>the last day it runs (empty: no bound)</source>
        <translation>der letzte Tag, an dem sie läuft (leer: keine Grenze)</translation>
    </message>
    <message>
        <source>a further format of each run, once for each; &quot;&quot; for none</source>
        <translation>ein weiteres Format jedes Laufs, je einmal; &quot;&quot; für keines</translation>
    </message>
    <message>
        <source>the mail&apos;s recipients</source>
        <translation>die Empfänger der Mail</translation>
    </message>
    <message>
        <source>its copy recipients</source>
        <translation>ihre Kopie-Empfänger</translation>
    </message>
    <message>
        <source>its blind copy recipients</source>
        <translation>ihre Blindkopie-Empfänger</translation>
    </message>
    <message>
        <source>the mail&apos;s subject template (empty: built-in)</source>
        <translation>die Vorlage des Betreffs der Mail (leer: eingebaut)</translation>
    </message>
    <message>
        <source>the mail&apos;s text template (empty: built-in)</source>
        <translation>die Vorlage des Textes der Mail (leer: eingebaut)</translation>
    </message>
    <message>
        <source>when a run sends mail</source>
        <translation>wann ein Lauf eine Mail sendet</translation>
    </message>
    <message>
        <source>run a failed run of a due time again N times (0 to 99)</source>
        <translation>einen fehlgeschlagenen Lauf einer Fälligkeit N-mal wiederholen (0 bis 99)</translation>
    </message>
    <message>
        <source>M minutes apart (1 to 1440)</source>
        <translation>im Abstand von M Minuten (1 bis 1440)</translation>
    </message>
    <message>
        <source>a report without rows writes no file and sends no mail</source>
        <translation>ein Bericht ohne Zeilen schreibt keine Datei und sendet keine Mail</translation>
    </message>
    <message>
        <source>read the schedule in this zone, such as America/New_York (empty: the machine&apos;s)</source>
        <translation>den Zeitplan in dieser Zone lesen, etwa America/New_York (leer: die des Rechners)</translation>
    </message>
    <message>
        <source>no run on the dates of this calendar (empty: none)</source>
        <translation>kein Lauf an den Daten dieses Kalenders (leer: keiner)</translation>
    </message>
    <message>
        <source>a further place each run is delivered to (smb://, sftp://, https://), once for each; &quot;&quot; for none</source>
        <translation>ein weiterer Ort, an den jeder Lauf geliefert wird (smb://, sftp://, https://), einmal je Ziel; &quot;&quot; für keinen</translation>
    </message>
    <message>
        <source>Usage: morvid-task [--settings FILE] [--server FILE] COMMAND [ARGUMENTS] [--json]
Lists and changes the report tasks: through the client that holds the settings
when one runs (on the session bus), else in the settings file itself, locked as a
client locks it. TASK is a task&apos;s Id or its name.

Commands:
  list             every task: Id, enabled, next run, name
  show TASK        every field of the task
  add FIELDS       adds a task and prints its Id (--name, --report, --path,
                   --format and --schedule are needed)
  set TASK FIELDS  changes the fields given
  remove TASK      removes the task
  enable TASK      arms the task
  disable TASK     disarms the task
  run TASK         runs the task now (needs a running client) and waits for the
                   run&apos;s end: exits 0 when it succeeded, 1 when not
  export [FILE]    writes every task as one JSON document
  import FILE      makes the tasks match the document, all or nothing
  reports          the server&apos;s reports: id, name and parameters
  credentials      the credentials targets may name: name, user, domain and key
                   file (never a secret: the client reads those itself)

Fields:
%1
Options:
  --settings FILE  the client&apos;s settings (default: %2)
  --server FILE    the server whose reports a task may name, when no client runs
  --json           print tasks as JSON
  --dry-run        import: print what would change, change nothing
  --no-wait        run: return once the run started, not when it ended
  --help           show this help
</source>
        <translation>Aufruf: morvid-task [--settings DATEI] [--server DATEI] BEFEHL [ARGUMENTE] [--json]
Listet und ändert die Berichtsaufgaben: über den Client, der die Einstellungen hält,
wenn einer läuft (auf dem Sitzungsbus), sonst in der Einstellungsdatei selbst, gesperrt,
wie ein Client sie sperrt. TASK ist die Id einer Aufgabe oder ihr Name.

Befehle:
  list             jede Aufgabe: Id, aktiv, nächster Lauf, Name
  show TASK        jedes Feld der Aufgabe
  add FIELDS       legt eine Aufgabe an und gibt ihre Id aus (--name, --report, --path,
                   --format und --schedule sind nötig)
  set TASK FIELDS  ändert die angegebenen Felder
  remove TASK      entfernt die Aufgabe
  enable TASK      schaltet die Aufgabe scharf
  disable TASK     schaltet die Aufgabe ab
  run TASK         führt die Aufgabe jetzt aus (braucht einen laufenden Client) und
                   wartet auf das Ende des Laufs: endet mit 0, wenn er gelang, sonst 1
  export [FILE]    schreibt alle Aufgaben als ein JSON-Dokument
  import FILE      gleicht die Aufgaben dem Dokument an, ganz oder gar nicht
  reports          die Berichte des Servers: Id, Name und Parameter
  credentials      die Zugangsdaten, die Ziele nennen dürfen: Name, Benutzer, Domäne und
                   Schlüsseldatei (nie ein Geheimnis: das liest der Client selbst)

Felder:
%1
Optionen:
  --settings FILE  die Einstellungen des Clients (Vorgabe: %2)
  --server FILE    der Server, dessen Berichte eine Aufgabe nennen darf, wenn kein
                   Client läuft
  --json           gibt Aufgaben als JSON aus
  --dry-run        import: zeigt, was sich ändern würde, ändert nichts
  --no-wait        run: kehrt zurück, sobald der Lauf begann, nicht erst an seinem Ende
  --help           zeigt diese Hilfe
</translation>
    </message>
    <message>
        <source>the mail attaches the run&apos;s files as one zip</source>
        <translation>die Mail hängt die Dateien des Laufs als ein Zip-Archiv an</translation>
    </message>
    <message>
        <source>the mail has an HTML summary beside its text</source>
        <translation>die Mail hat neben ihrem Text eine HTML-Zusammenfassung</translation>
    </message>
</context>
<context>
    <name>morvid::TClientHost</name>
    <message>
        <source>Quor client cannot start: %1.

%2</source>
        <translation>Der Quor-Client kann nicht starten: %1.

%2</translation>
    </message>
</context>
<context>
    <name>morvid::TDLGCalendars</name>
    <message>
        <source>Excluded dates</source>
        <translation>Ausgeschlossene Daten</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Import .ics...</source>
        <translation>.ics importieren...</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Dates (YYYY-MM-DD, separated by commas)</source>
        <translation>Daten (JJJJ-MM-TT, durch Kommas getrennt)</translation>
    </message>
    <message>
        <source>Holidays %1</source>
        <translation>Feiertage %1</translation>
    </message>
    <message>
        <source>Import holidays</source>
        <translation>Feiertage importieren</translation>
    </message>
    <message>
        <source>iCalendar files (*.ics);;All files (*)</source>
        <translation>iCalendar-Dateien (*.ics);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Calendar &quot;%1&quot;: %2</source>
        <translation>Kalender „%1“: %2</translation>
    </message>
    <message>
        <source>Cannot import &quot;%1&quot;: %2</source>
        <translation>„%1“ kann nicht importiert werden: %2</translation>
    </message>
    <message>
        <source>A calendar needs a name</source>
        <translation>Ein Kalender braucht einen Namen</translation>
    </message>
    <message>
        <source>Two calendars are called &quot;%1&quot;</source>
        <translation>Zwei Kalender heißen „%1“</translation>
    </message>
</context>
<context>
    <name>morvid::TDLGCredentials</name>
    <message>
        <source>Credentials</source>
        <translation>Zugangsdaten</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>archive: what a target&apos;s credential= names</source>
        <translation>archiv: was credential= eines Ziels nennt</translation>
    </message>
    <message>
        <source>A Windows domain, for shares</source>
        <translation>Eine Windows-Domäne, für Freigaben</translation>
    </message>
    <message>
        <source>A private key, for SFTP</source>
        <translation>Ein privater Schlüssel, für SFTP</translation>
    </message>
    <message>
        <source>Kept in the desktop&apos;s secret store</source>
        <translation>Im Schlüsselbund des Desktops verwahrt</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>User</source>
        <translation>Benutzer</translation>
    </message>
    <message>
        <source>Domain</source>
        <translation>Domäne</translation>
    </message>
    <message>
        <source>Private key file</source>
        <translation>Datei des privaten Schlüssels</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Two credentials are named &quot;%1&quot;</source>
        <translation>Zwei Zugangsdaten heißen &quot;%1&quot;</translation>
    </message>
</context>
<context>
    <name>morvid::TDLGMailServer</name>
    <message>
        <source>None (this machine only)</source>
        <translation>Keine (nur dieser Rechner)</translation>
    </message>
    <message>
        <source>Mail server</source>
        <translation>Mailserver</translation>
    </message>
    <message>
        <source>Default (%1)</source>
        <translation>Vorgabe (%1)</translation>
    </message>
    <message>
        <source>None: the server takes mail without signing in</source>
        <translation>Keiner: der Server nimmt Mails ohne Anmeldung an</translation>
    </message>
    <message>
        <source>Kept in the desktop&apos;s secret store</source>
        <translation>Im Schlüsselbund des Desktops verwahrt</translation>
    </message>
    <message>
        <source>Reports &lt;reports@example.org&gt;</source>
        <translation>Berichte &lt;reports@example.org&gt;</translation>
    </message>
    <message>
        <source> MiB</source>
        <translation> MiB</translation>
    </message>
    <message>
        <source>Never attach</source>
        <translation>Nie anhängen</translation>
    </message>
    <message>
        <source>Only the system&apos;s authorities</source>
        <translation>Nur die Zertifizierungsstellen des Systems</translation>
    </message>
    <message>
        <source>Server</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>Security</source>
        <translation>Sicherheit</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>User</source>
        <translation>Benutzer</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Sender address</source>
        <translation>Absenderadresse</translation>
    </message>
    <message>
        <source>Attach files up to</source>
        <translation>Dateien anhängen bis</translation>
    </message>
    <message>
        <source>Extra CA file</source>
        <translation>Zusätzliche CA-Datei</translation>
    </message>
    <message>
        <source>Send a test mail</source>
        <translation>Testmail senden</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>No mail server: give its host name</source>
        <translation>Kein Mailserver: geben Sie seinen Hostnamen an</translation>
    </message>
    <message>
        <source>No password for %1: type it above</source>
        <translation>Kein Passwort für %1: geben Sie es oben ein</translation>
    </message>
    <message>
        <source>Not sent: %1</source>
        <translation>Nicht gesendet: %1</translation>
    </message>
    <message>
        <source>Sending a test mail to %1...</source>
        <translation>Sende eine Testmail an %1...</translation>
    </message>
    <message>
        <source>Test mail sent to %1: see that it arrived.</source>
        <translation>Testmail an %1 gesendet: sehen Sie nach, ob sie angekommen ist.</translation>
    </message>
</context>
<context>
    <name>morvid::TDLGRunHistory</name>
    <message>
        <source>History of &quot;%1&quot;</source>
        <translation>Verlauf von „%1“</translation>
    </message>
    <message>
        <source>Recent runs</source>
        <translation>Letzte Läufe</translation>
    </message>
    <message>
        <source>Started</source>
        <translation>Gestartet</translation>
    </message>
    <message>
        <source>Task</source>
        <translation>Aufgabe</translation>
    </message>
    <message>
        <source>Due</source>
        <translation>Fällig</translation>
    </message>
    <message>
        <source>How</source>
        <translation>Wie</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Dauer</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Ergebnis</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Open file</source>
        <translation>Datei öffnen</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Ordner öffnen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>No runs recorded</source>
        <translation>Keine Läufe aufgezeichnet</translation>
    </message>
    <message numerus="yes">
        <source>%n run, %1 failed</source>
        <translation>
            <numerusform>%n Lauf, %1 fehlgeschlagen</numerusform>
            <numerusform>%n Läufe, %1 fehlgeschlagen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n runs, %1 failed</source>
        <translation>
            <numerusform>%n Lauf, %1 fehlgeschlagen</numerusform>
            <numerusform>%n Läufe, %1 fehlgeschlagen</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>morvid::TDLGScheduleEditor</name>
    <message>
        <source>Report schedule</source>
        <translation>Berichtszeitplan</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>This task has changes that are not saved. Discard them?</source>
        <translation>Diese Aufgabe hat Änderungen, die nicht gespeichert sind. Verwerfen?</translation>
    </message>
</context>
<context>
    <name>morvid::TDLGScheduledReports</name>
    <message>
        <source>Last result</source>
        <translation>Letztes Ergebnis</translation>
    </message>
    <message>
        <source>Scheduled reports</source>
        <translation>Geplante Berichte</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Enabled</source>
        <translation>Aktiv</translation>
    </message>
    <message>
        <source>Last run</source>
        <translation>Letzter Lauf</translation>
    </message>
    <message>
        <source>Next run</source>
        <translation>Nächster Lauf</translation>
    </message>
    <message>
        <source>Schedule</source>
        <translation>Zeitplan</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Bericht</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Export path</source>
        <translation>Exportpfad</translation>
    </message>
    <message>
        <source>Report scheduler</source>
        <translation>Berichtsplaner</translation>
    </message>
    <message>
        <source>New task...</source>
        <translation>Neue Aufgabe...</translation>
    </message>
    <message>
        <source>New task</source>
        <translation>Neue Aufgabe</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Edit...</source>
        <translation>Bearbeiten...</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>Run now</source>
        <translation>Jetzt ausführen</translation>
    </message>
    <message>
        <source>Run report now</source>
        <translation>Bericht jetzt ausführen</translation>
    </message>
    <message>
        <source>History...</source>
        <translation>Verlauf...</translation>
    </message>
    <message>
        <source>Runs of the task</source>
        <translation>Läufe der Aufgabe</translation>
    </message>
    <message>
        <source>Recent runs...</source>
        <translation>Letzte Läufe...</translation>
    </message>
    <message>
        <source>Runs of every task, newest first</source>
        <translation>Läufe aller Aufgaben, neueste zuerst</translation>
    </message>
    <message>
        <source>Mail server...</source>
        <translation>Mailserver...</translation>
    </message>
    <message>
        <source>The server that sends the tasks&apos; mail</source>
        <translation>Der Server, der die Mails der Aufgaben versendet</translation>
    </message>
    <message>
        <source>Duplicate</source>
        <translation>Duplizieren</translation>
    </message>
    <message>
        <source>Edit a disabled copy of the task</source>
        <translation>Eine deaktivierte Kopie der Aufgabe bearbeiten</translation>
    </message>
    <message>
        <source>Enable</source>
        <translation>Aktivieren</translation>
    </message>
    <message>
        <source>Enable the task</source>
        <translation>Die Aufgabe aktivieren</translation>
    </message>
    <message>
        <source>Disable</source>
        <translation>Deaktivieren</translation>
    </message>
    <message>
        <source>Disable the task</source>
        <translation>Die Aufgabe deaktivieren</translation>
    </message>
    <message>
        <source>Open export folder</source>
        <translation>Exportordner öffnen</translation>
    </message>
    <message>
        <source>Show the export folder in the file manager</source>
        <translation>Den Exportordner in der Dateiverwaltung zeigen</translation>
    </message>
    <message>
        <source>Delete task &quot;%1&quot;?</source>
        <translation>Aufgabe „%1“ löschen?</translation>
    </message>
    <message>
        <source>The client sends no mail</source>
        <translation>Der Client versendet keine Mails</translation>
    </message>
    <message>
        <source>The client keeps no run history</source>
        <translation>Der Client führt keinen Verlauf der Läufe</translation>
    </message>
    <message>
        <source>Copy of %1</source>
        <translation>Kopie von %1</translation>
    </message>
    <message>
        <source>The export folder &quot;%1&quot; does not exist</source>
        <translation>Der Exportordner „%1“ existiert nicht</translation>
    </message>
    <message>
        <source>The export folder &quot;%1&quot; could not be opened: %2</source>
        <translation>Der Exportordner „%1“ konnte nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>Excluded dates...</source>
        <translation>Ausgeschlossene Daten...</translation>
    </message>
    <message>
        <source>Calendars of dates on which the tasks that name them do not run</source>
        <translation>Kalender mit Daten, an denen die Aufgaben, die sie nennen, nicht laufen</translation>
    </message>
    <message>
        <source>Credentials...</source>
        <translation>Zugangsdaten...</translation>
    </message>
    <message>
        <source>The logins of the shares and SFTP servers that tasks deliver to</source>
        <translation>Die Anmeldungen an den Freigaben und SFTP-Servern, an die Aufgaben liefern</translation>
    </message>
    <message>
        <source>The client delivers to no targets</source>
        <translation>Der Client liefert an keine Ziele</translation>
    </message>
</context>
<context>
    <name>morvid::TDeliveryArea</name>
    <message>
        <source>Never</source>
        <translation>Nie</translation>
    </message>
    <message>
        <source>After success</source>
        <translation>Nach Erfolg</translation>
    </message>
    <message>
        <source>After failure</source>
        <translation>Nach Fehlschlag</translation>
    </message>
    <message>
        <source>After success or failure</source>
        <translation>Nach Erfolg oder Fehlschlag</translation>
    </message>
    <message>
        <source>Send by mail</source>
        <translation>Per Mail senden</translation>
    </message>
    <message>
        <source>To</source>
        <translation>An</translation>
    </message>
    <message>
        <source>Cc</source>
        <translation>Cc</translation>
    </message>
    <message>
        <source>Bcc</source>
        <translation>Bcc</translation>
    </message>
    <message>
        <source>Name &lt;name@example.org&gt;, ...</source>
        <translation>Name &lt;name@example.org&gt;, ...</translation>
    </message>
    <message>
        <source>Subject</source>
        <translation>Betreff</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Where each run is delivered besides its folder and its mail: shares, SFTP folders, web hooks</source>
        <translation>Wohin jeder Lauf außer in seinen Ordner und per Mail geliefert wird: Freigaben, SFTP-Ordner, Web-Hooks</translation>
    </message>
    <message>
        <source>Targets...</source>
        <translation>Ziele...</translation>
    </message>
    <message>
        <source>Targets (%1)...</source>
        <translation>Ziele (%1)...</translation>
    </message>
    <message>
        <source>Subject and text may use {task} {report} {period} {period-end} {due} {started} {result} {rows} {files} {file} {name} {size}; left empty, the text shown is sent.</source>
        <translation>Betreff und Text können {task} {report} {period} {period-end} {due} {started} {result} {rows} {files} {file} {name} {size} enthalten; leer gelassen, wird der angezeigte Text gesendet.</translation>
    </message>
    <message>
        <source>Zip</source>
        <translation>Zip</translation>
    </message>
    <message>
        <source>Attach the run&apos;s files as one zip</source>
        <translation>Die Dateien des Laufs als ein Zip-Archiv anhängen</translation>
    </message>
    <message>
        <source>HTML</source>
        <translation>HTML</translation>
    </message>
    <message>
        <source>Add an HTML summary: mail readers that show HTML show a table of the run</source>
        <translation>Eine HTML-Zusammenfassung beifügen: Mailprogramme, die HTML zeigen, zeigen eine Tabelle des Laufs</translation>
    </message>
</context>
<context>
    <name>morvid::TFailureNotices</name>
    <message>
        <source>Report task &quot;%1&quot; failed</source>
        <translation>Berichtsaufgabe „%1“ fehlgeschlagen</translation>
    </message>
    <message>
        <source>Report task &quot;%1&quot; recovered</source>
        <translation>Berichtsaufgabe „%1“ läuft wieder</translation>
    </message>
</context>
<context>
    <name>morvid::TFileArea</name>
    <message>
        <source>Empty for a time-stamped name, or a pattern such as {report}_{period:yyyy-MM-dd}</source>
        <translation>Leer für einen Namen mit Zeitstempel, oder ein Muster wie {report}_{period:yyyy-MM-dd}</translation>
    </message>
    <message>
        <source>Fields: {task}, {report}, {ext}, {due:FORMAT}, {period:FORMAT}, {period-start:FORMAT}, {period-end:FORMAT}; FORMAT of yyyy, yy, MM, dd, HH, mm, ss. A slash makes a folder, as in {due:yyyy}/{due:MM}/{report}.</source>
        <translation>Felder: {task}, {report}, {ext}, {due:FORMAT}, {period:FORMAT}, {period-start:FORMAT}, {period-end:FORMAT}; FORMAT aus yyyy, yy, MM, dd, HH, mm, ss. Ein Schrägstrich legt einen Ordner an, wie in {due:yyyy}/{due:MM}/{report}.</translation>
    </message>
    <message>
        <source>Replace it</source>
        <translation>Ersetzen</translation>
    </message>
    <message>
        <source>Keep both (_2, _3, ...)</source>
        <translation>Beide behalten (_2, _3, ...)</translation>
    </message>
    <message>
        <source>File name</source>
        <translation>Dateiname</translation>
    </message>
    <message>
        <source>When the name exists</source>
        <translation>Wenn der Name existiert</translation>
    </message>
    <message>
        <source>Further formats</source>
        <translation>Weitere Formate</translation>
    </message>
    <message>
        <source>Files are named YYMMDD_HHMM_ followed by the report.</source>
        <translation>Dateien heißen JJMMTT_HHMM_ gefolgt vom Bericht.</translation>
    </message>
    <message>
        <source>Next file: %1</source>
        <translation>Nächste Datei: %1</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
</context>
<context>
    <name>morvid::TMainWindow</name>
    <message>
        <source>Quor Client</source>
        <translation>Quor-Client</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Main</source>
        <translation>&amp;Haupt</translation>
    </message>
    <message>
        <source>Main</source>
        <translation>Haupt</translation>
    </message>
    <message>
        <source>&amp;Connect</source>
        <translation>&amp;Verbinden</translation>
    </message>
    <message>
        <source>Connect to the server</source>
        <translation>Mit dem Server verbinden</translation>
    </message>
    <message>
        <source>&amp;Disconnect</source>
        <translation>&amp;Trennen</translation>
    </message>
    <message>
        <source>Disconnect from the server</source>
        <translation>Vom Server trennen</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Save the settings and end the client</source>
        <translation>Die Einstellungen speichern und den Client beenden</translation>
    </message>
    <message>
        <source>Online</source>
        <translation>Online</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message numerus="yes">
        <source>%n task failing</source>
        <translation>
            <numerusform>%n Aufgabe schlägt fehl</numerusform>
            <numerusform>%n Aufgaben schlagen fehl</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n tasks failing</source>
        <translation>
            <numerusform>%n Aufgabe schlägt fehl</numerusform>
            <numerusform>%n Aufgaben schlagen fehl</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>morvid::TNullSpinEdit</name>
    <message>
        <source>Any</source>
        <translation>Jede</translation>
    </message>
</context>
<context>
    <name>morvid::TOptionsArea</name>
    <message>
        <source>Enabled</source>
        <translation>Aktiv</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <source>Keep the last N files</source>
        <translation>Die letzten N Dateien behalten</translation>
    </message>
    <message>
        <source>Run once at start if missed</source>
        <translation>Beim Start einmal nachholen, wenn verpasst</translation>
    </message>
    <message>
        <source>no</source>
        <comment>retry a failed run: no times</comment>
        <translation>kein</translation>
    </message>
    <message>
        <source>Retry a failed run %1 times, %2 minutes apart</source>
        <translation>Fehlgeschlagene Läufe %1 Mal wiederholen, alle %2 Minuten</translation>
    </message>
    <message>
        <source>Active from</source>
        <translation>Aktiv ab</translation>
    </message>
    <message>
        <source>until</source>
        <translation>bis</translation>
    </message>
    <message>
        <source>The last active day lies before the first</source>
        <translation>Der letzte aktive Tag liegt vor dem ersten</translation>
    </message>
    <message>
        <source>Skip empty reports</source>
        <translation>Leere Berichte überspringen</translation>
    </message>
    <message>
        <source>An empty report writes no file and sends no mail</source>
        <translation>Ein leerer Bericht schreibt keine Datei und sendet keine Mail</translation>
    </message>
</context>
<context>
    <name>morvid::TParameterArea</name>
    <message>
        <source>Type</source>
        <translation>Typ</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Number</source>
        <translation>Zahl</translation>
    </message>
    <message>
        <source>Boolean</source>
        <translation>Wahrheitswert</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Uhrzeit</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Wert</translation>
    </message>
    <message>
        <source>fixed date</source>
        <translation>festes Datum</translation>
    </message>
    <message>
        <source>fixed time</source>
        <translation>feste Uhrzeit</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Fill from report</source>
        <translation>Aus Bericht füllen</translation>
    </message>
    <message>
        <source>One row for each parameter the report takes</source>
        <translation>Eine Zeile für jeden Parameter des Berichts</translation>
    </message>
    <message>
        <source>Report parameters</source>
        <translation>Berichtsparameter</translation>
    </message>
    <message>
        <source>The report needs a value for: %1. Without it the run asks for one.</source>
        <translation>Der Bericht braucht einen Wert für: %1. Ohne ihn fragt der Lauf danach.</translation>
    </message>
    <message>
        <source>, </source>
        <comment>between parameter names</comment>
        <translation>, </translation>
    </message>
    <message>
        <source>Parameter %1: %2</source>
        <translation>Parameter %1: %2</translation>
    </message>
</context>
<context>
    <name>morvid::TScheduleArea</name>
    <message>
        <source>Minute</source>
        <translation>Minute</translation>
    </message>
    <message>
        <source>Hour</source>
        <translation>Stunde</translation>
    </message>
    <message>
        <source>Day</source>
        <translation>Tag</translation>
    </message>
    <message>
        <source>Weekday</source>
        <translation>Wochentag</translation>
    </message>
    <message>
        <source>Month</source>
        <translation>Monat</translation>
    </message>
    <message>
        <source>Year</source>
        <translation>Jahr</translation>
    </message>
    <message>
        <source>Schedule definition</source>
        <translation>Zeitplan-Definition</translation>
    </message>
    <message>
        <source>Not enabled: this task will not run.</source>
        <translation>Nicht aktiv: diese Aufgabe läuft nicht.</translation>
    </message>
    <message>
        <source>Next run: never</source>
        <translation>Nächster Lauf: nie</translation>
    </message>
    <message>
        <source>Next run: %1</source>
        <translation>Nächster Lauf: %1</translation>
    </message>
    <message>
        <source>Next runs: %1</source>
        <translation>Nächste Läufe: %1</translation>
    </message>
    <message>
        <source>, </source>
        <comment>between due times</comment>
        <translation>, </translation>
    </message>
    <message>
        <source>Next runs:</source>
        <translation>Nächste Läufe:</translation>
    </message>
    <message>
        <source>Never</source>
        <translation>Nie</translation>
    </message>
    <message>
        <source>The machine&apos;s zone</source>
        <translation>Zone des Rechners</translation>
    </message>
    <message>
        <source>Time zone</source>
        <translation>Zeitzone</translation>
    </message>
    <message>
        <source>Not on dates of</source>
        <translation>Nicht an Daten von</translation>
    </message>
    <message>
        <source>Runs</source>
        <translation>Läuft</translation>
    </message>
    <message>
        <source>None</source>
        <comment>no calendar</comment>
        <translation>Keiner</translation>
    </message>
    <message>
        <source>Next run (%1): %2</source>
        <translation>Nächster Lauf (%1): %2</translation>
    </message>
    <message>
        <source>Next runs (%1): %2</source>
        <translation>Nächste Läufe (%1): %2</translation>
    </message>
</context>
<context>
    <name>morvid::TScheduleShapeRow</name>
    <message>
        <source>Custom</source>
        <translation>Eigener Zeitplan</translation>
    </message>
    <message>
        <source>Every day at</source>
        <translation>Täglich um</translation>
    </message>
    <message>
        <source>Working days at (Monday to Friday)</source>
        <translation>Werktags um (Montag bis Freitag)</translation>
    </message>
    <message>
        <source>Weekly on chosen weekdays</source>
        <translation>Wöchentlich an gewählten Wochentagen</translation>
    </message>
    <message>
        <source>Monthly on day</source>
        <translation>Monatlich am Tag</translation>
    </message>
    <message>
        <source>Monthly on the chosen weekday of week</source>
        <translation>Monatlich am gewählten Wochentag der Woche</translation>
    </message>
    <message>
        <source>Mon</source>
        <translation>Mo</translation>
    </message>
    <message>
        <source>Tue</source>
        <translation>Di</translation>
    </message>
    <message>
        <source>Wed</source>
        <translation>Mi</translation>
    </message>
    <message>
        <source>Thu</source>
        <translation>Do</translation>
    </message>
    <message>
        <source>Fri</source>
        <translation>Fr</translation>
    </message>
    <message>
        <source>Sat</source>
        <translation>Sa</translation>
    </message>
    <message>
        <source>Sun</source>
        <translation>So</translation>
    </message>
    <message>
        <source>first (days 1-7)</source>
        <translation>ersten (Tage 1-7)</translation>
    </message>
    <message>
        <source>second (8-14)</source>
        <translation>zweiten (8-14)</translation>
    </message>
    <message>
        <source>third (15-21)</source>
        <translation>dritten (15-21)</translation>
    </message>
    <message>
        <source>fourth (22-28)</source>
        <translation>vierten (22-28)</translation>
    </message>
    <message>
        <source>last (the month&apos;s last 7 days)</source>
        <translation>letzten (letzte 7 Tage des Monats)</translation>
    </message>
</context>
<context>
    <name>morvid::TTargetListDialog</name>
    <message>
        <source>Targets</source>
        <translation>Ziele</translation>
    </message>
    <message>
        <source>Where each run is delivered besides its folder and its mail, one target a line: smb://server/share/folder credential=NAME, sftp://host/folder credential=NAME, https://hooks.example/... kind=slack</source>
        <translation>Wohin jeder Lauf außer in seinen Ordner und per Mail geliefert wird, ein Ziel je Zeile: smb://server/freigabe/ordner credential=NAME, sftp://host/ordner credential=NAME, https://hooks.example/... kind=slack</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>morvid::TTaskArea</name>
    <message>
        <source>Browse</source>
        <translation>Durchsuchen</translation>
    </message>
    <message>
        <source>Task name</source>
        <translation>Aufgabenname</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Bericht</translation>
    </message>
    <message>
        <source>Export path</source>
        <translation>Exportpfad</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Select directory</source>
        <translation>Ordner wählen</translation>
    </message>
    <message>
        <source>A relative path would depend on the folder the client was started in, which differs between the window and the service.</source>
        <translation>Ein relativer Pfad hinge vom Ordner ab, in dem der Client gestartet wurde, und der ist beim Fenster und beim Dienst verschieden.</translation>
    </message>
    <message>
        <source>The folder does not exist yet: Ok offers to create it.</source>
        <translation>Der Ordner existiert noch nicht: OK bietet an, ihn anzulegen.</translation>
    </message>
    <message>
        <source>The client cannot write to this folder: %1.</source>
        <translation>Der Client kann nicht in diesen Ordner schreiben: %1.</translation>
    </message>
    <message>
        <source>The folder &quot;%1&quot; does not exist.

Create it now? &quot;No&quot; keeps the path as it is; the task&apos;s runs fail until the folder exists.</source>
        <translation>Der Ordner „%1“ existiert nicht.

Jetzt anlegen? „Nein“ behält den Pfad, wie er ist; die Läufe der Aufgabe schlagen fehl, bis der Ordner existiert.</translation>
    </message>
    <message>
        <source>Cannot create the folder &quot;%1&quot;: %2</source>
        <translation>Der Ordner „%1“ kann nicht angelegt werden: %2</translation>
    </message>
</context>
<context>
    <name>quor-client</name>
    <message>
        <source>Usage: quor-client [OPTIONS]
The reference client: loads the plug-ins of its plug-in folder, connects to the demo
monitoring server and offers its reports to the plug-ins.

Options:
  --settings FILE  the registry settings file (default: %1)
  --history FILE   the run history of the report tasks (default: %2)
  --server FILE    the demo server database, made on first start (default: %3)
  --plugins DIR    the plug-in folder (default: %4 from the folder of
                   quor-client where that exists, else ../plugins)
  --headless       no window: run the plug-ins unattended; every report run is
                   logged on standard output
  --offline        start with the window offline; Connect connects (without it the
                   client connects to the server when it starts)
  --wait-for-settings
                   when another client holds the settings, wait until it lets go
                   of them (a window the service handed them to) instead of ending
  --demo DIR       when the settings hold no report tasks, add three demo tasks that
                   export into DIR (one every minute); with tasks stored, adds none
  --on-failure COMMAND
                   run COMMAND through /bin/sh -c for every failed report run,
                   without waiting for it; it is stopped after 60 seconds. It finds
                   MORVID_TASK, MORVID_REPORT, MORVID_RESULT, MORVID_DUE (empty for a
                   run by hand) and MORVID_FIRST_FAILURE (1 when the task had not
                   failed before, 0 when it goes on failing) in its environment
  --mail-password-file FILE
                   the mail server&apos;s password, on the first line of FILE, which
                   only its owner may read (mode 0600); without it the password is
                   taken from $CREDENTIALS_DIRECTORY/mail-password when that exists,
                   else, with a window, from the desktop&apos;s secret store
  --credentials-dir FOLDER
                   the secrets of the targets&apos; credentials: a file named after
                   each credential, which only its owner may read (mode 0600);
                   else $CREDENTIALS_DIRECTORY/&lt;name&gt;, else, with a window, the
                   desktop&apos;s secret store
  --help           show this help

Settings are saved at exit and every 60 seconds. Plug-ins keep them below the key
\Software\Quor\Client; inspect them with &apos;quor-reg export&apos;.

Signals: SIGINT, SIGTERM and SIGHUP save the settings and end the client (exit
status 0). SIGPIPE (a log nobody reads) and SIGXFSZ (a file-size limit an export
reaches) are ignored: the log is given up, the export fails, the client goes on.

Exit status: 0 after a normal end, 1 when the client cannot run, 2 for a command line
it does not understand, 3 when another client holds the settings file.
</source>
        <translation>Aufruf: quor-client [OPTIONEN]
Der Referenz-Client: lädt die Plug-ins seines Plug-in-Ordners, verbindet sich mit dem
Demo-Überwachungsserver und bietet dessen Berichte den Plug-ins an.

Optionen:
  --settings FILE  die Registry-Einstellungsdatei (Vorgabe: %1)
  --history FILE   der Verlauf der Läufe der Berichtsaufgaben (Vorgabe: %2)
  --server FILE    die Datenbank des Demo-Servers, beim ersten Start angelegt
                   (Vorgabe: %3)
  --plugins DIR    der Plug-in-Ordner (Vorgabe: %4 vom Ordner von quor-client aus,
                   wo es ihn gibt, sonst ../plugins)
  --headless       ohne Fenster: die Plug-ins laufen unbeaufsichtigt; jeder
                   Berichtslauf wird auf der Standardausgabe protokolliert
  --offline        startet das Fenster offline; Verbinden verbindet (ohne die Option
                   verbindet sich der Client beim Start mit dem Server)
  --wait-for-settings
                   hält ein anderer Client die Einstellungen, warten, bis er sie
                   freigibt (ein Fenster, dem der Dienst sie übergab), statt zu enden
  --demo DIR       haben die Einstellungen keine Berichtsaufgaben, drei Demo-Aufgaben
                   anlegen, die nach DIR exportieren (eine jede Minute); mit
                   gespeicherten Aufgaben keine
  --on-failure COMMAND
                   COMMAND über /bin/sh -c für jeden fehlgeschlagenen Berichtslauf
                   ausführen, ohne darauf zu warten; nach 60 Sekunden wird es
                   beendet. Es findet MORVID_TASK, MORVID_REPORT, MORVID_RESULT,
                   MORVID_DUE (leer bei einem Lauf von Hand) und MORVID_FIRST_FAILURE
                   (1, wenn die Aufgabe vorher nicht fehlschlug, 0, wenn sie weiter
                   fehlschlägt) in seiner Umgebung
  --mail-password-file FILE
                   das Passwort des Mailservers, in der ersten Zeile von FILE, die nur
                   ihr Eigentümer lesen darf (Modus 0600); ohne die Option wird das
                   Passwort aus $CREDENTIALS_DIRECTORY/mail-password genommen, wenn es
                   sie gibt, sonst, mit Fenster, aus dem Schlüsselbund des Desktops
  --credentials-dir FOLDER
                   die Geheimnisse der Zugangsdaten der Ziele: eine Datei je Zugang,
                   nach ihm benannt, die nur ihr Eigentümer lesen darf (Modus 0600);
                   sonst $CREDENTIALS_DIRECTORY/&lt;name&gt;, sonst, mit Fenster, der
                   Schlüsselbund des Desktops
  --help           zeigt diese Hilfe

Die Einstellungen werden beim Beenden und alle 60 Sekunden gespeichert. Plug-ins legen sie
unter dem Schlüssel \Software\Quor\Client ab; &apos;quor-reg export&apos; zeigt sie.

Signale: SIGINT, SIGTERM und SIGHUP speichern die Einstellungen und beenden den Client
(Exit-Status 0). SIGPIPE (ein Protokoll, das niemand liest) und SIGXFSZ (eine
Dateigrößen-Grenze, die ein Export erreicht) werden übergangen: das Protokoll wird
aufgegeben, der Export schlägt fehl, der Client läuft weiter.

Exit-Status: 0 nach einem normalen Ende, 1, wenn der Client nicht laufen kann, 2 bei einer
Befehlszeile, die er nicht versteht, 3, wenn ein anderer Client die Einstellungsdatei hält.
</translation>
    </message>
</context>
<context>
    <name>quor-reg</name>
    <message>
        <source>Usage: quor-reg [--settings FILE] COMMAND [ARGS]
Exports and imports the client&apos;s registry settings as .reg text.

Commands:
  export [KEY]   print KEY (default: the whole registry) and everything below it
  import FILE    read .reg text from FILE (&apos;-&apos; for standard input) into the registry

Options:
  --settings FILE  the registry file (default: %1)
  --help           show this help, or with a command that command&apos;s help
</source>
        <translation>Aufruf: quor-reg [--settings DATEI] BEFEHL [ARGUMENTE]
Exportiert und importiert die Registry-Einstellungen des Clients als .reg-Text.

Befehle:
  export [KEY]   gibt KEY (Vorgabe: die ganze Registry) und alles darunter aus
  import FILE    liest .reg-Text aus FILE (&apos;-&apos; für die Standardeingabe) in die Registry

Optionen:
  --settings FILE  die Registry-Datei (Vorgabe: %1)
  --help           zeigt diese Hilfe, mit einem Befehl dessen Hilfe
</translation>
    </message>
    <message>
        <source>Usage: quor-reg [--settings FILE] export [KEY]
Prints KEY and all keys and values below it as .reg text on standard output.
KEY is a path such as \Settings\Morvid; without it the whole registry is printed.
Names compare without regard to case. The registry file is not changed.
Importing the output and exporting again gives the same text byte for byte.
</source>
        <translation>Aufruf: quor-reg [--settings DATEI] export [KEY]
Gibt KEY und alle Schlüssel und Werte darunter als .reg-Text auf der Standardausgabe aus.
KEY ist ein Pfad wie \Settings\Morvid; ohne ihn wird die ganze Registry ausgegeben.
Namen werden ohne Rücksicht auf Groß- und Kleinschreibung verglichen. Die Registry-Datei
bleibt unverändert. Die Ausgabe importiert und wieder exportiert ergibt Byte für Byte
denselben Text.
</translation>
    </message>
    <message>
        <source>Usage: quor-reg [--settings FILE] import FILE
Reads .reg text (UTF-8) from FILE, or standard input for &apos;-&apos;, and writes its keys
and values into the registry, creating the registry file if needed. Existing keys
and values not named in the text stay. &quot;[-\Key]&quot; deletes a key, &quot;Name&quot;=- a value.
The whole text is checked first and written in one transaction: on a malformed
line nothing is imported and the error names the file and the line.
</source>
        <translation>Aufruf: quor-reg [--settings DATEI] import FILE
Liest .reg-Text (UTF-8) aus FILE, oder der Standardeingabe bei &apos;-&apos;, und schreibt seine
Schlüssel und Werte in die Registry; die Registry-Datei wird bei Bedarf angelegt.
Vorhandene Schlüssel und Werte, die der Text nicht nennt, bleiben. &quot;[-\Key]&quot; löscht
einen Schlüssel, &quot;Name&quot;=- einen Wert. Der ganze Text wird zuerst geprüft und in einer
Transaktion geschrieben: bei einer fehlerhaften Zeile wird nichts importiert, und der
Fehler nennt Datei und Zeile.
</translation>
    </message>
</context>
</TS>
