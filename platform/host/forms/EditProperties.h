// TEditProperties: one kind of cell editor of the grid (text, number, check box, date, time or a
// drop-down of captioned integers), how it shows a value and which typed value it writes back.
#pragma once

#include "platform/rtl/Variants.h"

#include <QDate>
#include <QTime>
#include <cstdint>
#include <string>
#include <vector>

namespace host {

enum class TEditorKind : std::uint8_t { Text, Number, Boolean, Date, Time, DropDown };

struct TDropDownItem {
    std::string Caption;
    std::int32_t Value = 0;
};

// Editors write typed values: Text a string, Number an integer, Boolean a boolean, Date a double
// of whole days, Time a double fraction of a day, DropDown the chosen item's integer.
class TEditProperties {
public:
    explicit TEditProperties(TEditorKind kind = TEditorKind::Text) : Kind(kind) {}

    TEditorKind Kind;
    std::vector<TDropDownItem> Items; // DropDown only, in list order
    // Date and Time only: words offered in a list beside the picker, the first standing for
    // the picker's own value. A chosen or typed word is written as a string and shown as it is.
    std::vector<std::string> Words;

    // The text a cell shows for a value; empty for Empty, Null or a value this editor cannot
    // read. Dates show as YYYY-MM-DD, times as HH:MM:SS, Booleans as "True" / "False".
    std::string DisplayText(const rtl::TVariant& value) const;
    // Index of the drop-down item with that value, -1 when none has it.
    int IndexOfValue(const rtl::TVariant& value) const;
};

// Conversions between the runtime's date-time and Qt's calendar types. A value that is not a
// date gives an invalid QDate / QTime.
QDate VariantToDate(const rtl::TVariant& value);
QTime VariantToTime(const rtl::TVariant& value);
rtl::TVariant DateToVariant(const QDate& date);
rtl::TVariant TimeToVariant(const QTime& time);

} // namespace host
