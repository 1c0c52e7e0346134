// The report engine's list of export filters, in registration order, and the filters every
// process has: PDF, HTML, CSV, Excel, OpenDocument, plain text, JSON, XML and dot-matrix text.
#pragma once

#include "platform/host/report/DotMatrixExport.h"
#include "platform/host/report/ExportFilter.h"

#include <vector>

namespace host {

// Filters are shared, long-lived objects; the collection only lists them. A filter registered
// by Register leaves the list when it is destroyed.
class TfrxExportFilterCollection {
public:
    explicit TfrxExportFilterCollection(std::vector<TfrxCustomExportFilter*> builtIn);
    ~TfrxExportFilterCollection();
    TfrxExportFilterCollection(const TfrxExportFilterCollection&) = delete;
    TfrxExportFilterCollection& operator=(const TfrxExportFilterCollection&) = delete;

    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    // The filter at index i (0-based); raises std::out_of_range outside [0, Count()).
    TfrxCustomExportFilter* GetExportFilterItem(int i) const { return FItems.at(std::size_t(i)); }

    // Appends a filter; one already in the list stays where it is.
    void Register(TfrxCustomExportFilter* filter);
    void Unregister(TfrxCustomExportFilter* filter) noexcept;

private:
    std::vector<TfrxCustomExportFilter*> FItems;
    bool FAlive = true;
};

// Built-in filters first, in this order: PDF, HTML, CSV, Excel, OpenDocument, plain text, JSON,
// XML, dot-matrix text.
extern TfrxExportFilterCollection frxExportFilters;
// The dot-matrix filter of the collection, which format pickers leave out.
extern TfrxDotMatrixExport* const frxDotMatrixExport;

} // namespace host
