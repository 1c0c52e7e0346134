#include "platform/host/forms/EditProperties.h"

#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"

#include <cmath>

namespace host {

namespace {

bool TryDateTime(const rtl::TVariant& value, rtl::TDateTime& result) {
    if (value.IsClear()) {
        return false;
    }
    try {
        result = value.AsDateTime();
    } catch (const rtl::Exception&) {
        return false;
    }
    // Outside the calendar the runtime encodes (years 1 to 9999) there is no date to show.
    return std::isfinite(result) && result > -693'594.0 && result < 2'958'466.0;
}

} // namespace

QDate VariantToDate(const rtl::TVariant& value) {
    rtl::TDateTime moment = 0;
    if (!TryDateTime(value, moment)) {
        return {};
    }
    int year = 0;
    int month = 0;
    int day = 0;
    rtl::DecodeDate(moment, year, month, day);
    return QDate(year, month, day);
}

QTime VariantToTime(const rtl::TVariant& value) {
    rtl::TDateTime moment = 0;
    if (!TryDateTime(value, moment)) {
        return {};
    }
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliSecond = 0;
    rtl::DecodeTime(moment, hour, minute, second, milliSecond);
    return QTime(hour, minute, second, milliSecond);
}

rtl::TVariant DateToVariant(const QDate& date) {
    if (!date.isValid()) {
        return {};
    }
    rtl::TDateTime result = 0;
    if (!rtl::TryEncodeDate(date.year(), date.month(), date.day(), result)) {
        return {};
    }
    return rtl::TVariant(result);
}

rtl::TVariant TimeToVariant(const QTime& time) {
    if (!time.isValid()) {
        return {};
    }
    return rtl::TVariant(rtl::EncodeTime(time.hour(), time.minute(), time.second(), time.msec()));
}

int TEditProperties::IndexOfValue(const rtl::TVariant& value) const {
    if (value.IsClear()) {
        return -1;
    }
    std::int32_t number = 0;
    try {
        number = value.AsInteger();
    } catch (const rtl::Exception&) {
        return -1;
    }
    for (std::size_t i = 0; i < Items.size(); ++i) {
        if (Items[i].Value == number) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string TEditProperties::DisplayText(const rtl::TVariant& value) const {
    if (value.IsClear()) {
        return {};
    }
    if (!Words.empty() && value.VarType() == rtl::TVarType::String) {
        return value.AsString();
    }
    try {
        switch (Kind) {
        case TEditorKind::Text:
            return value.AsString();
        case TEditorKind::Number:
            return rtl::IntToStr(value.AsInteger());
        case TEditorKind::Boolean:
            return value.AsBoolean() ? "True" : "False";
        case TEditorKind::Date: {
            const QDate date = VariantToDate(value);
            return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")).toStdString()
                                  : std::string();
        }
        case TEditorKind::Time: {
            const QTime time = VariantToTime(value);
            return time.isValid() ? time.toString(QStringLiteral("HH:mm:ss")).toStdString()
                                  : std::string();
        }
        case TEditorKind::DropDown: {
            const int index = IndexOfValue(value);
            return index >= 0 ? Items[std::size_t(index)].Caption : value.AsString();
        }
        }
    } catch (const rtl::Exception&) {
        // A value this editor cannot read shows as nothing rather than failing a paint.
    }
    return {};
}

} // namespace host
