// The workspace's control identifiers. Every control carries its identifier's name as its
// objectName, so that tests and tools find it the same way whatever the layout.
#pragma once

namespace workspace_ids {

inline constexpr char kListCtrl[] = "ID_TESSEL_LIST_CTRL";
inline constexpr char kBtnSelectFiles[] = "ID_TESSEL_BTN_SELECT_FILES";
inline constexpr char kBtnRemoveFiles[] = "ID_TESSEL_BTN_REMOVE_FILES";
inline constexpr char kBtnRecoverFiles[] = "ID_TESSEL_BTN_RECOVER_FILES";
inline constexpr char kBtnSaveFiles[] = "ID_TESSEL_BTN_SAVE_FILES";
inline constexpr char kBtnStop[] = "ID_TESSEL_BTN_STOP";
inline constexpr char kBtnExit[] = "ID_TESSEL_BTN_EXIT";
inline constexpr char kEditCtrl[] = "ID_TESSEL_EDIT_CTRL";           // the log panel
inline constexpr char kRichEditCtrl[] = "ID_TESSEL_RICH_EDIT_CTRL";  // the instruction line
inline constexpr char kBrowseEditCtrl[] = "ID_TESSEL_BROWSE_EDIT_CTRL";
inline constexpr char kBtnBrowse[] = "ID_TESSEL_BTN_BROWSE";
inline constexpr char kStaticPictureCtrl[] = "IDC_TESSEL_STATIC_PICTURE_CTRL";
inline constexpr char kCheckExtractFileContent[] = "ID_CHECK_BTN_EXTRACT_FILE_CONTENT";
inline constexpr char kFirstProgressCtrl[] = "ID_FIRST_PROGRESS_CTRL";
inline constexpr char kSecondProgressCtrl[] = "ID_SECOND_PROGRESS_CTRL";
inline constexpr char kStatic[] = "IDC_TESSEL_STATIC";  // shared by every label

}  // namespace workspace_ids
