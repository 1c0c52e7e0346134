#include "platform/rtl/Words.h"

#include <atomic>
#include <cstddef>
#include <vector>

namespace rtl {

namespace {

std::atomic<TWordsTranslator> Translator{nullptr};

// Replaces %n and %1..%9 in one pass, so an argument that itself contains "%2" stays as it is.
std::string Fill(const std::string& text, const std::vector<std::string>& args, int count) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size()) {
            const char next = text[i + 1];
            if (next == 'n' && count >= 0) {
                result += std::to_string(count);
                ++i;
                continue;
            }
            if (next >= '1' && next <= '9') {
                const std::size_t index = static_cast<std::size_t>(next - '1');
                if (index < args.size()) {
                    result += args[index];
                    ++i;
                    continue;
                }
            }
        }
        result += text[i];
    }
    return result;
}

} // namespace

void SetWordsTranslator(TWordsTranslator translator) {
    Translator.store(translator, std::memory_order_release);
}

std::string Words(const TWordsTemplate& words, std::initializer_list<std::string> args, int count) {
    std::string text;
    if (const TWordsTranslator translator = Translator.load(std::memory_order_acquire)) {
        text = translator(words.Context, words.Text, words.One, words.One != nullptr ? count : -1);
    }
    if (text.empty()) {
        text = words.One != nullptr && count == 1 ? words.One : words.Text;
    }
    return Fill(text, args, count);
}

std::string Words(const char* context, const char* text) {
    return Words(TWordsTemplate{context, text, nullptr}, {});
}

} // namespace rtl
