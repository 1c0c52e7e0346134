#include "translations/Translations.h"

#include "platform/rtl/Words.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QString>
#include <QTranslator>
#include <filesystem>

namespace morvid {

namespace {

struct TLoaded {
    QTranslator Own;
    QTranslator Qt;
    bool HasOwn = false;
    bool HasQt = false;
};

TLoaded& Loaded() {
    static TLoaded loaded;
    return loaded;
}

// Installed, the files lie in the data folder; in the build tree, beside bin/ and tests/.
QString OwnFolder() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path bin = error ? std::filesystem::current_path() : self.parent_path();
    const std::filesystem::path installed = bin / MORVID_BIN_TO_TRANSLATIONS;
    const std::filesystem::path built = bin / ".." / "translations";
    return QString::fromStdString(
        (std::filesystem::is_directory(installed, error) ? installed : built).string());
}

std::string Translate(const char* context, const char* text, const char* disambiguation,
                      int count) {
    return Loaded().Own.translate(context, text, disambiguation, count).toStdString();
}

} // namespace

void LoadTranslations() {
    static const bool once = [] {
        TLoaded& loaded = Loaded();
        const QLocale locale;
        loaded.HasOwn =
            loaded.Own.load(locale, QStringLiteral("morvid"), QStringLiteral("_"), OwnFolder());
        loaded.HasQt = loaded.Qt.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                                      QLibraryInfo::path(QLibraryInfo::TranslationsPath));
        if (loaded.HasOwn) {
            rtl::SetWordsTranslator(&Translate);
        }
        return true;
    }();
    (void)once;
}

void InstallTranslations() {
    LoadTranslations();
    // Once for each application object.
    static const QCoreApplication* installedInto = nullptr;
    if (installedInto == QCoreApplication::instance()) {
        return;
    }
    installedInto = QCoreApplication::instance();
    TLoaded& loaded = Loaded();
    if (loaded.HasQt) {
        QCoreApplication::installTranslator(&loaded.Qt);
    }
    if (loaded.HasOwn) {
        QCoreApplication::installTranslator(&loaded.Own);
    }
}

} // namespace morvid
