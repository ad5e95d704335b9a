// The host's file dialog: a modal dialog of the dialog manager over the local file system.
//
// Three forms: the open form picks one or more existing files, the create form names one file to
// write (and asks before an existing file is replaced), the folder form picks a folder (it lists
// folders only; "Use this folder" takes the folder shown, or the one named in the field). The
// dialog shows the current folder, a list of its sub-folders (with "..", shown with a trailing '/')
// followed by the files that match the chosen filter, the file-name field, the filter choices and
// the two buttons. Choosing rows in the list puts their names into the field; the default button
// (or a double click on a row) takes the field: a folder is opened, files are chosen. The dialog
// lists names only; it never reads a file.
//
// Filters come as the host's filter string: pairs of a label and its ';'-separated patterns,
// each followed by '\n' ("MicroStation files (*.dgn)\n*.dgn\nAll files (*.*)\n*.*"), or one
// bare pattern list ("*.lst"). Patterns match without case; "*.*" matches every file.
//
// Opened on the host thread, the dialog runs a nested host loop until it is answered; when the
// host loops stop (the application ends) it counts as cancelled.
#pragma once

#include <string>
#include <vector>

namespace kelvara {

inline constexpr int FILE_PICKER_DIALOG_ID = 102;
inline constexpr int ACTION_CANCEL = 2;  // the user cancelled a file dialog

// File dialog items.
inline constexpr int PICKER_FOLDER = 1;  // label: the current folder
inline constexpr int PICKER_LIST = 2;    // list box: sub-folders, then matching files
inline constexpr int PICKER_NAME = 3;    // text: the file name(s)
inline constexpr int PICKER_TYPE = 4;    // option: the filter
inline constexpr int PICKER_OK = 5;      // push button: Open / Save
inline constexpr int PICKER_CANCEL = 6;
inline constexpr int PICKER_USE_FOLDER = 7;  // push button of the folder form

struct FilePickerRequest {
  std::string title;
  std::string filter;          // the host's filter string
  std::string startDirectory;  // "" or no folder: the current folder
  std::string defaultName;     // proposed in the file-name field
  bool multiple = false;       // open form: several files may be chosen
};

// One filter choice of a filter string.
struct FileFilter {
  std::string label;
  std::vector<std::string> patterns;
};

// The choices of a filter string; an empty string gives "All files" alone.
std::vector<FileFilter> parseFileFilter(const std::string& filter);

// Whether a file name matches one of the patterns ('*' and '?', without case).
bool fileNameMatches(const std::vector<std::string>& patterns, const std::string& name);

// The open form. SUCCESS with the chosen files' full paths, ACTION_CANCEL, or ERROR when a file
// dialog is already open.
int mdlDialog_fileOpen(std::vector<std::string>* chosen, const FilePickerRequest& request);

// The create form. SUCCESS with the chosen full path (a name without extension takes the one of
// the chosen filter's first pattern), ACTION_CANCEL, or ERROR when a file dialog is already open.
int mdlDialog_fileCreate(std::string* chosen, const FilePickerRequest& request);

// The folder form. SUCCESS with the chosen folder's full path ending in '/', ACTION_CANCEL, or
// ERROR when a file dialog is already open.
int mdlDialog_folderOpen(std::string* chosen, const FilePickerRequest& request);

}  // namespace kelvara
