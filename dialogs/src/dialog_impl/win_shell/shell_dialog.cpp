#include "dialog_impl/win_shell/shell_dialog.hpp"

#include "dialog_impl/platform.hpp"
#include "dialog_impl/win/owner_window.hpp"
#include "dialog_impl/win/win32_text.hpp"
#include "dialog_impl/win_shell/com_ptr.hpp"

#include <shlobj.h>

#include <string>
#include <vector>

namespace bw::dialogs::impl {

namespace shell {

namespace {

DialogError failed(HRESULT hr, const char* method) { return HResultFailed{static_cast<int32_t>(hr), method}; }

template <class Set>
std::optional<DialogError> set_text(const std::string& text, Set set, const char* method) {
	if (text.empty()) return std::nullopt;
	HRESULT hr = set(widen(text).c_str());
	if (FAILED(hr)) return failed(hr, method);
	return std::nullopt;
}

// Makes a shell item for the path and hands it to set; the item is released either way.
template <class Set>
std::optional<DialogError> with_item(const std::string& path, Set set, const char* method) {
	ComPtr<IShellItem> item;
	HRESULT hr = SHCreateItemFromParsingName(widen(path).c_str(), nullptr, IID_IShellItem, item.put_void());
	if (FAILED(hr)) return failed(hr, "SHCreateItemFromParsingName");
	hr = set(item.get());
	if (FAILED(hr)) return failed(hr, method);
	return std::nullopt;
}

std::optional<DialogError> set_folder(const std::string& path, IFileDialog* dialog, bool default_folder) {
	if (path.empty()) return std::nullopt;
	if (default_folder)
		return with_item(path, [&](IShellItem* item) { return dialog->SetDefaultFolder(item); }, "IFileDialog::SetDefaultFolder");
	return with_item(path, [&](IShellItem* item) { return dialog->SetFolder(item); }, "IFileDialog::SetFolder");
}

std::optional<DialogError> set_file_types(IFileDialog* dialog, const DialogParams& params) {
	if (params.file_types.empty()) return std::nullopt;
	std::vector<std::wstring> texts;
	for (const FileType& type : params.file_types) {
		texts.push_back(widen(type.name));
		texts.push_back(widen(type.spec));
	}
	std::vector<COMDLG_FILTERSPEC> specs;
	for (std::size_t i = 0; i < texts.size(); i += 2) specs.push_back({texts[i].c_str(), texts[i + 1].c_str()});
	HRESULT hr = dialog->SetFileTypes(static_cast<UINT>(specs.size()), specs.data());
	if (FAILED(hr)) return failed(hr, "IFileDialog::SetFileTypes");
	if (params.file_type_index != 0) {
		hr = dialog->SetFileTypeIndex(params.file_type_index);
		if (FAILED(hr)) return failed(hr, "IFileDialog::SetFileTypeIndex");
	}
	return std::nullopt;
}

std::optional<DialogError> add_options(IFileDialog* dialog, uint32_t options) {
	if (options == 0) return std::nullopt;
	FILEOPENDIALOGOPTIONS current = 0;
	HRESULT hr = dialog->GetOptions(&current);
	if (FAILED(hr)) return failed(hr, "IFileDialog::GetOptions");
	hr = dialog->SetOptions(current | options);
	if (FAILED(hr)) return failed(hr, "IFileDialog::SetOptions");
	return std::nullopt;
}

std::optional<DialogError> show(IFileDialog* dialog, const DialogParams& params) {
	HRESULT hr = dialog->Show(owner_hwnd(params.owner));
	if (hr == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return UserCancelled{};
	if (FAILED(hr)) return failed(hr, "IModalWindow::Show");
	return std::nullopt;
}

} // namespace

std::optional<DialogError> configure_file_dialog(IFileDialog* dialog, const DialogParams& params) {
	if (auto error = set_text(params.default_extension, [&](LPCWSTR text) { return dialog->SetDefaultExtension(text); },
	                          "IFileDialog::SetDefaultExtension"))
		return error;
	if (auto error = set_folder(params.default_folder, dialog, true)) return error;
	if (auto error = set_folder(params.folder, dialog, false)) return error;
	if (auto error = set_text(params.file_name, [&](LPCWSTR text) { return dialog->SetFileName(text); }, "IFileDialog::SetFileName"))
		return error;
	if (auto error = set_text(params.file_name_label, [&](LPCWSTR text) { return dialog->SetFileNameLabel(text); },
	                          "IFileDialog::SetFileNameLabel"))
		return error;
	if (auto error = set_file_types(dialog, params)) return error;
	if (auto error = set_text(params.ok_button_label, [&](LPCWSTR text) { return dialog->SetOkButtonLabel(text); },
	                          "IFileDialog::SetOkButtonLabel"))
		return error;
	if (auto error = add_options(dialog, params.options)) return error;
	return set_text(params.title, [&](LPCWSTR text) { return dialog->SetTitle(text); }, "IFileDialog::SetTitle");
}

ShellResult<std::filesystem::path> get_shell_item_display_name(IShellItem* item) {
	PWSTR name = nullptr;
	HRESULT hr = item->GetDisplayName(SIGDN_FILESYSPATH, &name);
	if (FAILED(hr)) return failed(hr, "IShellItem::GetDisplayName");
	std::filesystem::path path(name);
	CoTaskMemFree(name);
	return path;
}

ShellResult<uint32_t> get_file_type_index(IFileDialog* dialog) {
	UINT index = 0;
	HRESULT hr = dialog->GetFileTypeIndex(&index);
	if (FAILED(hr)) return failed(hr, "IFileDialog::GetFileTypeIndex");
	return static_cast<uint32_t>(index);
}

} // namespace shell

// Every early return below releases what was made so far and balances COM: the apartment is
// declared first, so it is dropped last.
ShellResult<OpenDialogResult> open_dialog(const DialogParams& params) {
	shell::ComApartment com;
	if (FAILED(com.result())) return shell::failed(com.result(), "CoInitializeEx");
	shell::ComPtr<IFileOpenDialog> dialog;
	HRESULT hr = CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_ALL, IID_IFileOpenDialog, dialog.put_void());
	if (FAILED(hr)) return shell::failed(hr, "CoCreateInstance - IFileOpenDialog");
	if (auto error = shell::configure_file_dialog(dialog.get(), params)) return *error;
	if (auto error = shell::show(dialog.get(), params)) return *error;

	shell::ComPtr<IShellItemArray> items;
	hr = dialog->GetResults(items.put());
	if (FAILED(hr)) return shell::failed(hr, "IFileOpenDialog::GetResults");
	DWORD count = 0;
	hr = items->GetCount(&count);
	if (FAILED(hr)) return shell::failed(hr, "IShellItemArray::GetCount");
	std::vector<std::filesystem::path> paths;
	for (DWORD i = 0; i < count; i++) {
		shell::ComPtr<IShellItem> item;
		hr = items->GetItemAt(i, item.put());
		if (FAILED(hr)) return shell::failed(hr, "IShellItemArray::GetItemAt");
		SFGAOF attributes = 0;
		hr = item->GetAttributes(SFGAO_FILESYSTEM, &attributes);
		if (FAILED(hr)) return shell::failed(hr, "IShellItem::GetAttributes");
		if ((attributes & SFGAO_FILESYSTEM) == 0) continue;
		ShellResult<std::filesystem::path> path = shell::get_shell_item_display_name(item.get());
		if (auto* error = std::get_if<DialogError>(&path)) return *error;
		paths.push_back(std::move(std::get<std::filesystem::path>(path)));
	}
	ShellResult<uint32_t> index = shell::get_file_type_index(dialog.get());
	if (auto* error = std::get_if<DialogError>(&index)) return *error;
	if (paths.empty()) return UnsupportedFilepath{};
	std::filesystem::path first = paths.front();
	return OpenDialogResult{std::move(first), std::move(paths), std::get<uint32_t>(index)};
}

ShellResult<SaveDialogResult> save_dialog(const DialogParams& params) {
	shell::ComApartment com;
	if (FAILED(com.result())) return shell::failed(com.result(), "CoInitializeEx");
	shell::ComPtr<IFileSaveDialog> dialog;
	HRESULT hr = CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_ALL, IID_IFileSaveDialog, dialog.put_void());
	if (FAILED(hr)) return shell::failed(hr, "CoCreateInstance - FileSaveDialog");
	if (!params.save_as_item.empty()) {
		if (auto error = shell::with_item(params.save_as_item, [&](IShellItem* item) { return dialog->SetSaveAsItem(item); },
		                                  "IFileDialog::SetSaveAsItem"))
			return *error;
	}
	if (auto error = shell::configure_file_dialog(dialog.get(), params)) return *error;
	if (auto error = shell::show(dialog.get(), params)) return *error;

	shell::ComPtr<IShellItem> item;
	hr = dialog->GetResult(item.put());
	if (FAILED(hr)) return shell::failed(hr, "IFileDialog::GetResult");
	ShellResult<std::filesystem::path> path = shell::get_shell_item_display_name(item.get());
	if (auto* error = std::get_if<DialogError>(&path)) return *error;
	ShellResult<uint32_t> index = shell::get_file_type_index(dialog.get());
	if (auto* error = std::get_if<DialogError>(&index)) return *error;
	return SaveDialogResult{std::move(std::get<std::filesystem::path>(path)), std::get<uint32_t>(index)};
}

} // namespace bw::dialogs::impl
