// Text helpers of the schedule parser: the strict field splitter, the text-before and
// text-after routines and the integer comparison that orders a field's values.
#pragma once

#include "platform/rtl/Classes.h"

#include <string>
#include <string_view>

namespace morvid {

// A string list whose splitter can treat only the delimiter as a separator. Every user sets
// StrictDelimiter to true right after creating it.
class TStringList2 : public rtl::TStringList {
public:
    bool StrictDelimiter = false;
};

// Clears list and fills it with the fields of text split at list.Delimiter, honouring
// list.QuoteChar (a doubled quote inside quotes stands for one). Strictly, each single
// delimiter separates two fields, so empty fields survive and blanks or tabs stay inside a
// field. Not strictly, characters 1..32 around fields are skipped and end an unquoted field.
// Change notices are held back until the list is complete, also when an error passes.
void AssignDelimited(TStringList2& list, std::string_view text);

// The part of text in front of the first occurrence of subText; empty if there is none.
std::string TextBefore(std::string_view subText, std::string_view text);
// The part of text behind the first occurrence of subText; empty if there is none.
std::string TextAfter(std::string_view subText, std::string_view text);

// The integer value of item index1 minus that of item index2, as a sort order. Raises
// rtl::EConvertError naming the text when an item is no integer. A difference beyond 32 bits
// is clamped, so the sign, and with it the order, is always right.
int CompareAsInteger(rtl::TStringList& list, int index1, int index2);

} // namespace morvid
