// TStringList: the runtime's ordered list of strings with delimiter and quote settings,
// update counting, lookup by text and sorting with a caller-given comparison.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rtl {

RTL_DECLARE_EXCEPTION(EStringListError, Exception);

class TStringList;

// Compares the items at two indexes of a list: negative, zero or positive.
using TStringListSortCompare = std::function<int(TStringList& list, int index1, int index2)>;

class TStringList {
public:
    TStringList() = default;
    TStringList(const TStringList&) = default;
    TStringList& operator=(const TStringList&) = default;
    virtual ~TStringList() = default;

    // Plain settings, read by whoever splits or joins text with this list.
    char Delimiter = ',';
    char QuoteChar = '"';
    bool CaseSensitive = false;
    // Called after a change, but not while an update is open; EndUpdate calls it once for all.
    std::function<void(TStringList& sender)> OnChange;

    int Add(std::string text);
    void Clear();
    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    // Raises EStringListError "List index out of bounds (<index>)" for a bad index.
    const std::string& operator[](int index) const;
    void Put(int index, std::string text);
    void Exchange(int index1, int index2);
    // Index of the first item equal to text (ignoring ASCII letter case unless CaseSensitive), or
    // -1.
    int IndexOf(std::string_view text) const noexcept;

    void BeginUpdate() noexcept { ++FUpdateCount; }
    void EndUpdate();
    int UpdateCount() const noexcept { return FUpdateCount; }

    // Sorts in place; compare sees the list as it is being rearranged, so it must not change it.
    void CustomSort(const TStringListSortCompare& compare);

private:
    void Changed();
    void CheckIndex(int index) const;
    void QuickSort(int left, int right, const TStringListSortCompare& compare);

    std::vector<std::string> FItems;
    int FUpdateCount = 0;
    bool FChangedWhileUpdating = false;
};

} // namespace rtl
