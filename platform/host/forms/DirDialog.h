// TDirDialog: lets the user choose one existing directory, starting from a given one.
// A plain component: set InitialDir and Prompt, call Execute, read Directory.
#pragma once

#include <string>

class QWidget;

namespace host {

class TDirDialog {
public:
    // Where the choice starts; an empty or missing directory starts at the desktop (or home).
    std::string InitialDir;
    std::string Prompt = "Select directory";
    // The chosen directory after Execute returned true; unchanged after cancel.
    std::string Directory;

    // True when a directory was chosen. An installed TModalAnswerer answers instead of a person;
    // without one, a session that cannot show windows cancels at once.
    bool Execute(QWidget* parent = nullptr);

    // The directory the choice starts in, as Execute resolves InitialDir.
    std::string StartDirectory() const;
};

} // namespace host
