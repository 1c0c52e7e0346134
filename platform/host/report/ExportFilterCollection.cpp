#include "platform/host/report/ExportFilterCollection.h"

#include "platform/host/report/CsvExport.h"
#include "platform/host/report/HtmlExport.h"
#include "platform/host/report/JsonExport.h"
#include "platform/host/report/OdfExport.h"
#include "platform/host/report/PdfExport.h"
#include "platform/host/report/TextExport.h"
#include "platform/host/report/XlsxExport.h"
#include "platform/host/report/XmlExport.h"

#include <algorithm>

namespace host {

namespace {
// Defined before the filters' objects so that it still exists while they are destroyed.
extern TfrxPdfExport PdfFilter;
extern TfrxHtmlExport HtmlFilter;
extern TfrxCsvExport CsvFilter;
extern TfrxXlsxExport XlsxFilter;
extern TfrxOdfExport OdfFilter;
extern TfrxTextExport TextFilter;
extern TfrxJsonExport JsonFilter;
extern TfrxXmlExport XmlFilter;
extern TfrxDotMatrixExport DotMatrixFilter;
} // namespace

TfrxExportFilterCollection frxExportFilters({&PdfFilter, &HtmlFilter, &CsvFilter, &XlsxFilter,
                                             &OdfFilter, &TextFilter, &JsonFilter, &XmlFilter,
                                             &DotMatrixFilter});

namespace {
TfrxPdfExport PdfFilter;
TfrxHtmlExport HtmlFilter;
TfrxCsvExport CsvFilter;
TfrxXlsxExport XlsxFilter;
TfrxOdfExport OdfFilter;
TfrxTextExport TextFilter;
TfrxJsonExport JsonFilter;
TfrxXmlExport XmlFilter;
TfrxDotMatrixExport DotMatrixFilter;
} // namespace

TfrxDotMatrixExport* const frxDotMatrixExport = &DotMatrixFilter;

TfrxExportFilterCollection::TfrxExportFilterCollection(std::vector<TfrxCustomExportFilter*> builtIn)
    : FItems(std::move(builtIn)) {}

TfrxExportFilterCollection::~TfrxExportFilterCollection() {
    FAlive = false;
}

void TfrxExportFilterCollection::Register(TfrxCustomExportFilter* filter) {
    if (filter != nullptr && std::find(FItems.begin(), FItems.end(), filter) == FItems.end()) {
        FItems.push_back(filter);
    }
}

void TfrxExportFilterCollection::Unregister(TfrxCustomExportFilter* filter) noexcept {
    if (FAlive) {
        std::erase(FItems, filter);
    }
}

} // namespace host
