#pragma once
// Every text tavlin-setup shows. They are built into the program (it has no
// resource folder of its own); "%s" marks where a name or path goes.

namespace tavlin::setup::text {

inline constexpr char kProduct[] = "TAVLIN";
inline constexpr char kStudioProgram[] = "tavlin-studio";
inline constexpr char kSettingsFile[] = "tavlin.rc";
inline constexpr char kLicenseFile[] = "license.txt";
inline constexpr char kIconFile[] = "tavlin.png";

inline constexpr char kInstallingCaption[] = "Installing %s";
inline constexpr char kUninstallingCaption[] = "Uninstalling %s";

inline constexpr char kScanFailed[] = "Faild to search files to install.";
inline constexpr char kNothingToInstall[] = "There is no file to install.";
inline constexpr char kNowInstalling[] = "Now installing %s.";
inline constexpr char kSpecifyFolder[] = "Please specify a directory to install %s.";
inline constexpr char kBrowseTitle[] = "Installing directory";
inline constexpr char kAlreadyInstalled[] =
    "TAVLIN has been already installed.\nTo update the program, please push [NEXT] button.";
inline constexpr char kAccept[] = "Accept";
inline constexpr char kReject[] = "Reject";
inline constexpr char kSpecifyDrive[] = "Please specify a drive.";
inline constexpr char kNotInRoot[] = "You can't install in the root directory.";
inline constexpr char kAnotherProgram[] = "Another program has been installed in %s. \nPlease specify another directory.";
inline constexpr char kCopying[] = "Copying files...";
inline constexpr char kFailedToCopy[] = "Failed to copy %s.";
inline constexpr char kFailedToCreate[] = "Failed to create %s.";
inline constexpr char kFailedToDelete[] = "Failed to delete %s.";
inline constexpr char kShortcutError[] = "Internal Error (short cut)";
inline constexpr char kInstalled[] = "TAVLIN has been installed successfully.";
inline constexpr char kBeingUninstalled[] = "%s is now being uninstalled.";
inline constexpr char kCantRunUninstall[] = "Faild to execute the uninstall program.";
inline constexpr char kUninstallScanFailed[] = "Failed to search to uninstall.";
inline constexpr char kNothingToDelete[] = "There is no file to delete.";
inline constexpr char kDeleting[] = "Deleting...";
inline constexpr char kFolderRemains[] =
    "Failed to delete %s.\nSome data files remains in the directory,\nwhich you may delete with Explorer.";
inline constexpr char kUninstalled[] = "TAVLIN has been uninstalled successfully.";
inline constexpr char kRecordNotDeleted[] = "アンインストール情報は削除できませんでした";

// Linux additions: a folder the user may not write in would otherwise fail
// file by file, and a failed copy is undone rather than left half-installed.
inline constexpr char kNoPermission[] = "You don't have permission to write in %s.\nPlease specify another directory.";
inline constexpr char kBadFolderName[] = "The directory name %s can't be used.\nPlease specify another directory.";
inline constexpr char kNotInstalled[] = "TAVLIN has not been installed.\nPlease specify another directory.";

}  // namespace tavlin::setup::text
