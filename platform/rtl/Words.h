// Texts people read, in their language, for code that must not depend on Qt.
//
// A program with translations installs a translator (the Qt side loads Qt Linguist's files);
// without one, or for a text it does not know, the English in the source stands. Sentences are
// whole: a template with numbered arguments (%1, %2, ...) and, where it counts something, %n
// with the plural forms of the language, so a translation may put the words in its own order.
#pragma once

#include <initializer_list>
#include <string>

// A template, marked for lupdate, which is told that these macros spell QT_TRANSLATE_NOOP and
// QT_TRANSLATE_N_NOOP3: context and text are literals where they are written. A counting
// template gives the English for a count of one as well; it also tells the translator apart
// from other templates of the same text.
#define MORVID_WORDS(context, text) (::rtl::TWordsTemplate{context, text, nullptr})
#define MORVID_WORDS_N(context, text, one) (::rtl::TWordsTemplate{context, text, one})

namespace rtl {

// The translation of text in context for count (-1: no count), or an empty string when there
// is none. The count chooses among the language's plural forms; disambiguation is the counting
// template's English for one (nullptr for other templates).
using TWordsTranslator = std::string (*)(const char* context, const char* text,
                                         const char* disambiguation, int count);

// Installs the translator for the whole process; nullptr takes it away. Set it before the
// first text is shown and leave it: it is read without a lock.
void SetWordsTranslator(TWordsTranslator translator);

// A template: its English text and, for a counting one, the English for a count of one (the
// text is then the form for other counts).
struct TWordsTemplate {
    const char* Context;
    const char* Text;
    const char* One = nullptr;
};

// The template in the installed language with %n replaced by count and %1, %2, ... by args.
std::string Words(const TWordsTemplate& words, std::initializer_list<std::string> args = {},
                  int count = -1);

// A plain text in the installed language (no arguments).
std::string Words(const char* context, const char* text);

} // namespace rtl
