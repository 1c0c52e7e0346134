#include "platform/host/report/OdfExport.h"

#include "platform/host/report/ExportFile.h"
#include "platform/host/report/ReportCells.h"

#include <QBuffer>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentWriter>
#include <QTextTable>

namespace host {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

TfrxOdfExport::TfrxOdfExport() : TfrxCustomExportFilter(".odt") {}

void TfrxOdfExport::WriteReport(const TfrxReport& report, TExportFile& file) {
    QTextDocument document;
    // Undo history would keep a command for every inserted cell: most of the memory of a large
    // report, for nothing.
    document.setUndoRedoEnabled(false);
    document.setMetaInformation(QTextDocument::DocumentTitle, Text(report.Title));
    QTextCursor cursor(&document);

    QTextCharFormat titleFormat;
    titleFormat.setFontPointSize(16);
    titleFormat.setFontWeight(QFont::Bold);
    QTextCharFormat plainFormat;
    plainFormat.setFontPointSize(10);
    QTextCharFormat noteFormat = plainFormat;
    noteFormat.setForeground(QColor(0x57, 0x60, 0x6a));
    QTextCharFormat headerFormat = plainFormat;
    headerFormat.setFontWeight(QFont::Bold);

    cursor.insertText(Text(report.Title), titleFormat);
    cursor.insertBlock();
    cursor.insertText(Text(RunTimeText(report)), noteFormat);
    for (const auto& parameter : report.Parameters) {
        cursor.insertBlock();
        cursor.insertText(Text(parameter.Name + ": "), noteFormat);
        cursor.insertText(Text(parameter.DisplayValue), plainFormat);
    }
    cursor.insertBlock();

    const int columns = static_cast<int>(report.Columns.size());
    if (columns > 0) {
        QTextTableFormat tableFormat;
        tableFormat.setHeaderRowCount(1);
        tableFormat.setCellPadding(3);
        tableFormat.setCellSpacing(0);
        tableFormat.setBorder(0.5);
        tableFormat.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        tableFormat.setBorderCollapse(true);
        tableFormat.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        QTextTable* table =
            cursor.insertTable(static_cast<int>(report.Rows.size()) + 1, columns, tableFormat);

        QTextBlockFormat left;
        left.setAlignment(Qt::AlignLeft);
        QTextBlockFormat right;
        right.setAlignment(Qt::AlignRight);
        QTextCharFormat headerCellFormat;
        headerCellFormat.setBackground(QColor(0xe8, 0xec, 0xf0));

        // Filling cell by cell with NextCell keeps the cost linear; cellAt() on every cell
        // searches the table each time.
        QTextCursor cell = table->cellAt(0, 0).firstCursorPosition();
        for (int c = 0; c < columns; ++c) {
            table->cellAt(0, c).setFormat(headerCellFormat);
            cell.setBlockFormat(IsNumericType(report.Columns[std::size_t(c)].Type) ? right : left);
            cell.insertText(Text(report.Columns[std::size_t(c)].Caption), headerFormat);
            cell.movePosition(QTextCursor::NextCell);
        }
        const TCellTexts texts(report);
        for (std::size_t r = 0; r < report.Rows.size(); ++r) {
            for (int c = 0; c < columns; ++c) {
                if (IsNumericType(report.Columns[std::size_t(c)].Type)) {
                    cell.setBlockFormat(right);
                }
                cell.insertText(Text(texts.Text(r, std::size_t(c))), plainFormat);
                cell.movePosition(QTextCursor::NextCell);
            }
        }
    }

    // The zip writer seeks back to fill in sizes, so the document is built in memory first.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QTextDocumentWriter writer(&buffer, "ODF");
    if (!writer.write(&document)) {
        file.Fail("the OpenDocument writer failed");
    }
    file.Write(buffer.data().constData(), static_cast<std::size_t>(buffer.data().size()));
}

} // namespace host
