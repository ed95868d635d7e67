#include "platform/window/Choosers.h"

#include "platform/window/Application.h"
#include "platform/window/QtBridge.h"
#include "platform/window/Window.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>

#include <cctype>

namespace platform {

namespace {

QWidget* OwnerWidget(Window* owner) {
    if (owner != nullptr && owner->Exists()) return owner->Widget();
    return QApplication::activeWindow();
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

MessageAnswer AskUser(Window* owner, const std::string& caption, const std::string& text, MessageButtons buttons,
                      MessageIcon icon) {
    if (!StartWindowSystem()) return MessageAnswer::Cancel;
    QMessageBox box(OwnerWidget(owner));
    box.setWindowTitle(ToQString(caption));
    box.setText(ToQString(text));
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
        case MessageIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MessageIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MessageIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
    }
    switch (buttons) {
        case MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MessageButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case MessageButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        default:
            return MessageAnswer::Cancel;
    }
}

std::vector<FileFilterEntry> ParseFilterText(const std::string& text) {
    std::vector<FileFilterEntry> entries;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t bar1 = text.find('|', pos);
        if (bar1 == std::string::npos || bar1 == pos) break;  // the closing "|" (or a broken tail)
        const size_t bar2 = text.find('|', bar1 + 1);
        const size_t end = bar2 == std::string::npos ? text.size() : bar2;
        entries.push_back(FileFilterEntry{text.substr(pos, bar1 - pos), text.substr(bar1 + 1, end - bar1 - 1)});
        pos = end + 1;
    }
    return entries;
}

std::string CaseInsensitivePattern(const std::string& pattern) {
    std::string out;
    bool inClass = false;
    for (char c : pattern) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '[')
            inClass = true;
        else if (c == ']')
            inClass = false;
        if (!inClass && std::isalpha(u) && u < 0x80) {
            out += '[';
            out += char(std::tolower(u));
            out += char(std::toupper(u));
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

std::string ToNameFilter(const FileFilterEntry& entry) {
    std::string description = Trim(entry.description);
    // The description often repeats the patterns in parentheses; the toolkit reads its own from there.
    if (!description.empty() && description.back() == ')') {
        const size_t open = description.rfind('(');
        if (open != std::string::npos) description = Trim(description.substr(0, open));
    }
    std::string patterns;
    std::string current;
    auto flush = [&] {
        const std::string p = Trim(current);
        current.clear();
        if (p.empty()) return;
        if (!patterns.empty()) patterns += ' ';
        // "*.*" means every file, also those without a dot.
        patterns += (p == "*.*") ? std::string("*") : CaseInsensitivePattern(p);
    };
    for (char c : entry.patterns) {
        if (c == ';' || c == ' ' || c == '\t')
            flush();
        else
            current += c;
    }
    flush();
    if (patterns.empty()) patterns = "*";
    return description + " (" + patterns + ")";
}

FileChooserResult ChooseFiles(Window* owner, const FileChooserOptions& options) {
    FileChooserResult result;
    result.folder = options.folder;
    result.filterIndex = options.filterIndex;
    if (!StartWindowSystem()) return result;
    QFileDialog dialog(OwnerWidget(owner));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(options.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (options.save)
        dialog.setFileMode(QFileDialog::AnyFile);
    else if (options.multiSelect)
        dialog.setFileMode(QFileDialog::ExistingFiles);
    else
        dialog.setFileMode(options.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
    // The filter's name only: the case-insensitive patterns behind it are no reading for a user.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    if (!options.defaultSuffix.empty()) dialog.setDefaultSuffix(ToQString(options.defaultSuffix));
    QStringList filters;
    for (const FileFilterEntry& entry : options.filters) filters << ToQString(ToNameFilter(entry));
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (options.filterIndex >= 0 && options.filterIndex < filters.size()) {
            dialog.selectNameFilter(filters[options.filterIndex]);
        }
    }
    if (!options.folder.empty() && QDir(ToQString(options.folder)).exists()) {
        dialog.setDirectory(ToQString(options.folder));
    }
    if (!options.fileName.empty()) dialog.selectFile(ToQString(options.fileName));
    dialog.setWindowTitle(ToQString(options.title));
    auto folderEntered = [&](const QString& folder) {
        result.folder = FromQString(folder);
        if (options.captionForFolder) dialog.setWindowTitle(ToQString(options.captionForFolder(result.folder)));
    };
    folderEntered(dialog.directory().absolutePath());
    QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog, folderEntered);
    // Moving to a folder by any means, typing a path or the history included, changes the model's root.
    if (auto* model = dialog.findChild<QFileSystemModel*>()) {
        QObject::connect(model, &QFileSystemModel::rootPathChanged, &dialog, folderEntered);
    }
    result.accepted = dialog.exec() == QDialog::Accepted;
    result.folder = FromQString(dialog.directory().absolutePath());
    // The dialog may answer the filter by the name it shows rather than the whole filter.
    const QString selected = dialog.selectedNameFilter();
    int chosenFilter = int(filters.indexOf(selected));
    for (int i = 0; chosenFilter < 0 && i < filters.size(); ++i)
        if (filters[i].left(filters[i].lastIndexOf(QStringLiteral(" ("))) == selected) chosenFilter = i;
    if (chosenFilter >= 0) result.filterIndex = chosenFilter;
    if (result.accepted) {
        for (const QString& path : dialog.selectedFiles()) result.paths.push_back(FromQString(path));
    }
    return result;
}

bool ChooseFolder(Window* owner, const std::string& caption, const std::string& initialFolder, std::string& chosen) {
    if (!StartWindowSystem()) return false;
    QFileDialog dialog(OwnerWidget(owner));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setWindowTitle(ToQString(caption));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Cancel"));
    if (!initialFolder.empty()) dialog.setDirectory(ToQString(initialFolder));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    // cleanPath keeps the root as "/" and drops any other trailing separator.
    chosen = FromQString(QDir::cleanPath(dialog.selectedFiles().first()));
    return !chosen.empty();
}

}  // namespace platform
