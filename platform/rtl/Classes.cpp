#include "platform/rtl/Classes.h"

#include <utility>

namespace rtl {

int TStringList::Add(std::string text) {
    FItems.push_back(std::move(text));
    Changed();
    return Count() - 1;
}

void TStringList::Clear() {
    if (FItems.empty()) {
        return;
    }
    FItems.clear();
    Changed();
}

const std::string& TStringList::operator[](int index) const {
    CheckIndex(index);
    return FItems[static_cast<std::size_t>(index)];
}

void TStringList::Put(int index, std::string text) {
    CheckIndex(index);
    FItems[static_cast<std::size_t>(index)] = std::move(text);
    Changed();
}

void TStringList::Exchange(int index1, int index2) {
    CheckIndex(index1);
    CheckIndex(index2);
    std::swap(FItems[static_cast<std::size_t>(index1)], FItems[static_cast<std::size_t>(index2)]);
    Changed();
}

int TStringList::IndexOf(std::string_view text) const noexcept {
    for (std::size_t i = 0; i < FItems.size(); ++i) {
        if (CaseSensitive ? FItems[i] == text : SameText(FItems[i], text)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TStringList::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0 && FChangedWhileUpdating) {
        Changed();
    }
}

void TStringList::CustomSort(const TStringListSortCompare& compare) {
    if (Count() < 2) {
        return;
    }
    BeginUpdate();
    try {
        QuickSort(0, Count() - 1, compare);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStringList::Changed() {
    if (FUpdateCount > 0) {
        FChangedWhileUpdating = true;
        return;
    }
    FChangedWhileUpdating = false;
    if (OnChange) {
        OnChange(*this);
    }
}

void TStringList::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) {
        throw EStringListError(Format("List index out of bounds (%d)", index));
    }
}

// Hoare partitioning around the middle item, recursing into the smaller half so the stack
// stays logarithmic even on adversarial orders.
void TStringList::QuickSort(int left, int right, const TStringListSortCompare& compare) {
    while (left < right) {
        int i = left;
        int j = right;
        int pivot = left + (right - left) / 2;
        while (i <= j) {
            while (compare(*this, i, pivot) < 0) {
                ++i;
            }
            while (compare(*this, j, pivot) > 0) {
                --j;
            }
            if (i <= j) {
                if (i != j) {
                    std::swap(FItems[static_cast<std::size_t>(i)],
                              FItems[static_cast<std::size_t>(j)]);
                    // The pivot item moves with the swap; keep comparing against it.
                    if (pivot == i) {
                        pivot = j;
                    } else if (pivot == j) {
                        pivot = i;
                    }
                    FChangedWhileUpdating = true;
                }
                ++i;
                --j;
            }
        }
        if (j - left < right - i) {
            QuickSort(left, j, compare);
            left = i;
        } else {
            QuickSort(i, right, compare);
            right = j;
        }
    }
}

} // namespace rtl
