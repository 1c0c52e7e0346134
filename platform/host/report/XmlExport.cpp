#include "platform/host/report/XmlExport.h"

#include "platform/host/report/ExportDevice.h"
#include "platform/host/report/ReportCells.h"

#include <QXmlStreamWriter>

namespace host {

namespace {

// XML 1.0 cannot hold most control characters, not even escaped; a report cell may (binary
// junk from a device name, a pasted form feed). They become U+FFFD so the file stays readable.
QString XmlText(const std::string& text) {
    QString result = QString::fromStdString(text);
    for (QChar& c : result) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D) || u == 0xFFFE || u == 0xFFFF) {
            c = QChar(0xFFFD);
        }
    }
    return result;
}

QString CellXmlText(const rtl::TVariant& value) {
    switch (value.VarType()) {
    case rtl::TVarType::Date:
        return QString::fromStdString(IsoDateTimeText(value.AsDateTime()));
    case rtl::TVarType::Boolean:
        return value.AsBoolean() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        return XmlText(ValueText(value));
    }
}

} // namespace

TfrxXmlExport::TfrxXmlExport() : TfrxCustomExportFilter(".xml") {}

void TfrxXmlExport::WriteReport(const TfrxReport& report, TExportFile& file) {
    TExportDevice device(file);
    QXmlStreamWriter xml(&device);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(1);
    xml.writeStartDocument();
    xml.writeStartElement("report");
    xml.writeAttribute("title", XmlText(report.Title));
    xml.writeAttribute("runTime", QString::fromStdString(IsoDateTimeText(report.RunTime)));
    if (!report.RunZoneTime.empty()) {
        xml.writeAttribute("runZoneTime", XmlText(report.RunZoneTime));
    }
    xml.writeStartElement("parameters");
    for (const auto& parameter : report.Parameters) {
        xml.writeStartElement("parameter");
        xml.writeAttribute("name", XmlText(parameter.Name));
        xml.writeCharacters(XmlText(parameter.DisplayValue));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    if (report.Rows.empty()) {
        xml.writeTextElement("note", QString::fromLatin1(NoRowsText));
    }
    xml.writeStartElement("columns");
    for (const auto& column : report.Columns) {
        xml.writeStartElement("column");
        xml.writeAttribute("type", QString::fromLatin1(TypeName(column.Type)));
        xml.writeCharacters(XmlText(column.Caption));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeStartElement("rows");
    for (std::size_t r = 0; r < report.Rows.size(); ++r) {
        xml.writeStartElement("row");
        for (std::size_t c = 0; c < report.Columns.size(); ++c) {
            const rtl::TVariant& value = CellValue(report, r, c);
            xml.writeStartElement("cell");
            if (value.IsClear()) {
                xml.writeAttribute("null", "true");
            } else {
                xml.writeAttribute("type", QString::fromLatin1(TypeName(value.VarType())));
                xml.writeCharacters(CellXmlText(value));
            }
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    if (xml.hasError() && !file.Failed()) {
        file.Fail("the XML writer failed");
    }
}

} // namespace host
