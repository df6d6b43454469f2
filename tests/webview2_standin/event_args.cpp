// Event arguments with outcomes, their deferrals, ProcessFailed's arguments and the download
// operation.
#include "event_args.hpp"

#include "objects.hpp"
#include "text.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace standin {

namespace {

// E_ILLEGAL_METHOD_CALL, which the cross compiler's headers lack.
const HRESULT illegal_method_call = static_cast<HRESULT>(0x8000000EL);

// Getters and setters of event arguments: logged with an "args." prefix, as the webview has
// methods of the same names.
HRESULT enter_args(HRESULT entered, const std::string& method) {
	if (FAILED(entered)) return entered;
	Engine::get().record_call("args." + method);
	return Engine::get().failure("args." + method);
}

} // namespace

bool Decision::open(const char* setter) const {
	if (!state_->decided) return true;
	Engine::get().violation(std::string(setter) + " after the " + state_->event + " event completed: the engine no longer reads it");
	return false;
}

HRESULT Decision::defer(ICoreWebView2Deferral** deferral) {
	if (deferral == nullptr) return E_POINTER;
	*deferral = nullptr;
	if (state_->decided) return illegal_method_call;
	state_->deferrals++;
	*deferral = Ref<Deferral>::adopt(new Deferral(state_)).detach();
	return S_OK;
}

void Decision::handlers_returned(std::function<void()> decide) {
	state_->returned = true;
	state_->decide = std::move(decide);
	settle(state_);
}

void Decision::settle(const std::shared_ptr<State>& state) {
	if (state->decided || !state->returned || state->deferrals > 0) return;
	state->decided = true;
	if (auto decide = std::move(state->decide)) decide();
}

HRESULT Deferral::Complete() {
	if (HRESULT hr = enter("Complete"); FAILED(hr)) return hr;
	Engine::get().record_call("deferral.Complete");
	if (completed_) {
		Engine::get().violation("a deferral of " + state_->event + " completed twice");
		return illegal_method_call;
	}
	completed_ = true;
	state_->deferrals--;
	Decision::settle(state_);
	return S_OK;
}

void Deferral::on_final_release() {
	// What the engine does then is not documented: the event would wait for ever.
	if (!completed_) Engine::get().violation("a deferral of " + state_->event + " released without Complete");
}

HRESULT NavigationStartingEventArgs::get_Uri(LPWSTR* uri) {
	if (HRESULT hr = enter_args(enter("get_Uri"), "get_Uri"); FAILED(hr)) return hr;
	return hand_out(uri_, uri);
}

HRESULT NavigationStartingEventArgs::get_IsUserInitiated(BOOL* isUserInitiated) {
	if (HRESULT hr = enter_args(enter("get_IsUserInitiated"), "get_IsUserInitiated"); FAILED(hr)) return hr;
	if (isUserInitiated == nullptr) return E_POINTER;
	*isUserInitiated = user_initiated_ ? TRUE : FALSE;
	return S_OK;
}

HRESULT NavigationStartingEventArgs::get_IsRedirected(BOOL* isRedirected) {
	if (HRESULT hr = enter_args(enter("get_IsRedirected"), "get_IsRedirected"); FAILED(hr)) return hr;
	if (isRedirected == nullptr) return E_POINTER;
	*isRedirected = FALSE;
	return S_OK;
}

HRESULT NavigationStartingEventArgs::get_RequestHeaders(ICoreWebView2HttpRequestHeaders**) {
	if (HRESULT hr = enter_args(enter("get_RequestHeaders"), "get_RequestHeaders"); FAILED(hr)) return hr;
	return not_modelled;
}

HRESULT NavigationStartingEventArgs::get_Cancel(BOOL* cancel) {
	if (HRESULT hr = enter_args(enter("get_Cancel"), "get_Cancel"); FAILED(hr)) return hr;
	if (cancel == nullptr) return E_POINTER;
	*cancel = cancel_;
	return S_OK;
}

HRESULT NavigationStartingEventArgs::put_Cancel(BOOL cancel) {
	if (HRESULT hr = enter_args(enter("put_Cancel"), "put_Cancel(" + std::to_string(cancel) + ")"); FAILED(hr)) return hr;
	if (decision_.open("put_Cancel")) cancel_ = cancel ? TRUE : FALSE;
	return S_OK;
}

HRESULT NavigationStartingEventArgs::get_NavigationId(UINT64* navigationId) {
	if (HRESULT hr = enter_args(enter("get_NavigationId"), "get_NavigationId"); FAILED(hr)) return hr;
	if (navigationId == nullptr) return E_POINTER;
	*navigationId = id_;
	return S_OK;
}

HRESULT NewWindowRequestedEventArgs::get_Uri(LPWSTR* uri) {
	if (HRESULT hr = enter_args(enter("get_Uri"), "get_Uri"); FAILED(hr)) return hr;
	return hand_out(uri_, uri);
}

HRESULT NewWindowRequestedEventArgs::put_NewWindow(ICoreWebView2* newWindow) {
	if (HRESULT hr = enter_args(enter("put_NewWindow"), "put_NewWindow"); FAILED(hr)) return hr;
	if (newWindow == nullptr) return E_INVALIDARG;
	// Once set it cannot change.
	if (new_window_) return illegal_method_call;
	if (decision_.open("put_NewWindow")) new_window_ = Ref<ICoreWebView2>::share(newWindow);
	return S_OK;
}

HRESULT NewWindowRequestedEventArgs::get_NewWindow(ICoreWebView2** newWindow) {
	if (HRESULT hr = enter_args(enter("get_NewWindow"), "get_NewWindow"); FAILED(hr)) return hr;
	if (newWindow == nullptr) return E_POINTER;
	*newWindow = Ref<ICoreWebView2>(new_window_).detach();
	return S_OK;
}

HRESULT NewWindowRequestedEventArgs::put_Handled(BOOL handled) {
	if (HRESULT hr = enter_args(enter("put_Handled"), "put_Handled(" + std::to_string(handled) + ")"); FAILED(hr)) return hr;
	if (decision_.open("put_Handled")) handled_ = handled ? TRUE : FALSE;
	return S_OK;
}

HRESULT NewWindowRequestedEventArgs::get_Handled(BOOL* handled) {
	if (HRESULT hr = enter_args(enter("get_Handled"), "get_Handled"); FAILED(hr)) return hr;
	if (handled == nullptr) return E_POINTER;
	*handled = handled_;
	return S_OK;
}

HRESULT NewWindowRequestedEventArgs::get_IsUserInitiated(BOOL* isUserInitiated) {
	if (HRESULT hr = enter_args(enter("get_IsUserInitiated"), "get_IsUserInitiated"); FAILED(hr)) return hr;
	if (isUserInitiated == nullptr) return E_POINTER;
	*isUserInitiated = user_initiated_ ? TRUE : FALSE;
	return S_OK;
}

HRESULT NewWindowRequestedEventArgs::GetDeferral(ICoreWebView2Deferral** deferral) {
	if (HRESULT hr = enter_args(enter("GetDeferral"), "GetDeferral"); FAILED(hr)) return hr;
	return decision_.defer(deferral);
}

HRESULT NewWindowRequestedEventArgs::get_WindowFeatures(ICoreWebView2WindowFeatures**) {
	if (HRESULT hr = enter_args(enter("get_WindowFeatures"), "get_WindowFeatures"); FAILED(hr)) return hr;
	return not_modelled;
}

HRESULT ProcessFailedEventArgs::QueryInterface(REFIID iid, void** out) {
	if (out != nullptr && IsEqualIID(iid, IID_ICoreWebView2ProcessFailedEventArgs)) {
		*out = static_cast<ICoreWebView2ProcessFailedEventArgs*>(this);
		AddRef();
		return S_OK;
	}
	if (IsEqualIID(iid, IID_ICoreWebView2ProcessFailedEventArgs2)) {
		Engine::get().record_call("QueryInterface(ICoreWebView2ProcessFailedEventArgs2)");
		if (HRESULT hr = Engine::get().failure("QueryInterface.ICoreWebView2ProcessFailedEventArgs2"); FAILED(hr)) {
			if (out != nullptr) *out = nullptr;
			return hr;
		}
	}
	return ComObject::QueryInterface(iid, out);
}

HRESULT ProcessFailedEventArgs::get_ProcessFailedKind(COREWEBVIEW2_PROCESS_FAILED_KIND* value) {
	if (HRESULT hr = enter_args(enter("get_ProcessFailedKind"), "get_ProcessFailedKind"); FAILED(hr)) return hr;
	if (value == nullptr) return E_POINTER;
	*value = kind_;
	return S_OK;
}

HRESULT ProcessFailedEventArgs::get_Reason(COREWEBVIEW2_PROCESS_FAILED_REASON* reason) {
	if (HRESULT hr = enter_args(enter("get_Reason"), "get_Reason"); FAILED(hr)) return hr;
	if (reason == nullptr) return E_POINTER;
	*reason = reason_;
	return S_OK;
}

HRESULT ProcessFailedEventArgs::get_ExitCode(int* exitCode) {
	if (HRESULT hr = enter_args(enter("get_ExitCode"), "get_ExitCode"); FAILED(hr)) return hr;
	if (exitCode == nullptr) return E_POINTER;
	*exitCode = exit_code_;
	return S_OK;
}

HRESULT ProcessFailedEventArgs::get_ProcessDescription(LPWSTR* processDescription) {
	if (HRESULT hr = enter_args(enter("get_ProcessDescription"), "get_ProcessDescription"); FAILED(hr)) return hr;
	return hand_out(description_, processDescription);
}

HRESULT ProcessFailedEventArgs::get_FrameInfosForFailedProcess(ICoreWebView2FrameInfoCollection** frames) {
	if (HRESULT hr = enter_args(enter("get_FrameInfosForFailedProcess"), "get_FrameInfosForFailedProcess"); FAILED(hr)) return hr;
	if (frames == nullptr) return E_POINTER;
	// Only a frame's process has frames to tell, and frames are not modelled.
	*frames = nullptr;
	return kind_ == COREWEBVIEW2_PROCESS_FAILED_KIND_FRAME_RENDER_PROCESS_EXITED ? not_modelled : S_OK;
}

std::wstring default_download_path(const DownloadSpec& spec) {
	std::wstring name;
	const std::wstring& header = spec.content_disposition;
	size_t at = header.find(L"filename=");
	if (at != std::wstring::npos) {
		name = header.substr(at + 9, header.find(L';', at) == std::wstring::npos ? std::wstring::npos : header.find(L';', at) - at - 9);
		std::erase(name, L'"');
	} else {
		std::wstring url = spec.url.substr(0, spec.url.find_first_of(L"?#"));
		name = url.substr(url.find_last_of(L'/') + 1);
	}
	name = name.substr(name.find_last_of(L"/\\") == std::wstring::npos ? 0 : name.find_last_of(L"/\\") + 1);
	if (name.empty()) name = L"download";
	wchar_t profile[MAX_PATH];
	DWORD length = GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
	std::filesystem::path folder = length > 0 && length < MAX_PATH ? std::filesystem::path(profile) : std::filesystem::temp_directory_path();
	return (folder / L"Downloads" / name).wstring();
}

HRESULT DownloadOperation::call(const char* method) {
	if (HRESULT hr = enter(method); FAILED(hr)) return hr;
	Engine::get().record_call(std::string("download.") + method);
	return Engine::get().failure(std::string("download.") + method);
}

HRESULT DownloadOperation::add_BytesReceivedChanged(ICoreWebView2BytesReceivedChangedEventHandler*, EventRegistrationToken*) {
	HRESULT hr = call("add_BytesReceivedChanged");
	return FAILED(hr) ? hr : not_modelled;
}

HRESULT DownloadOperation::remove_BytesReceivedChanged(EventRegistrationToken) {
	HRESULT hr = call("remove_BytesReceivedChanged");
	return FAILED(hr) ? hr : not_modelled;
}

HRESULT DownloadOperation::add_EstimatedEndTimeChanged(ICoreWebView2EstimatedEndTimeChangedEventHandler*, EventRegistrationToken*) {
	HRESULT hr = call("add_EstimatedEndTimeChanged");
	return FAILED(hr) ? hr : not_modelled;
}

HRESULT DownloadOperation::remove_EstimatedEndTimeChanged(EventRegistrationToken) {
	HRESULT hr = call("remove_EstimatedEndTimeChanged");
	return FAILED(hr) ? hr : not_modelled;
}

HRESULT DownloadOperation::add_StateChanged(ICoreWebView2StateChangedEventHandler* eventHandler, EventRegistrationToken* token) {
	if (HRESULT hr = call("add_StateChanged"); FAILED(hr)) return hr;
	if (eventHandler == nullptr) return E_INVALIDARG;
	if (token == nullptr) return E_POINTER;
	auto handler = query_handler(eventHandler, IID_ICoreWebView2StateChangedEventHandler, "the download's StateChanged handler");
	if (!handler) return E_NOINTERFACE;
	token->value = Engine::get().next_token();
	handlers_.emplace_back(token->value, std::move(handler));
	return S_OK;
}

HRESULT DownloadOperation::remove_StateChanged(EventRegistrationToken token) {
	if (HRESULT hr = call("remove_StateChanged"); FAILED(hr)) return hr;
	auto found = std::find_if(handlers_.begin(), handlers_.end(), [&](auto& entry) { return entry.first == token.value; });
	if (found != handlers_.end()) {
		// Released after it has left the list.
		auto handler = std::move(found->second);
		handlers_.erase(found);
	}
	return S_OK;
}

HRESULT DownloadOperation::get_Uri(LPWSTR* uri) {
	if (HRESULT hr = call("get_Uri"); FAILED(hr)) return hr;
	return hand_out(spec_.url, uri);
}

HRESULT DownloadOperation::get_ContentDisposition(LPWSTR* contentDisposition) {
	if (HRESULT hr = call("get_ContentDisposition"); FAILED(hr)) return hr;
	return hand_out(spec_.content_disposition, contentDisposition);
}

HRESULT DownloadOperation::get_MimeType(LPWSTR* mimeType) {
	if (HRESULT hr = call("get_MimeType"); FAILED(hr)) return hr;
	return hand_out(spec_.mime_type, mimeType);
}

HRESULT DownloadOperation::get_TotalBytesToReceive(INT64* totalBytesToReceive) {
	if (HRESULT hr = call("get_TotalBytesToReceive"); FAILED(hr)) return hr;
	if (totalBytesToReceive == nullptr) return E_POINTER;
	*totalBytesToReceive = static_cast<INT64>(spec_.bytes.size());
	return S_OK;
}

HRESULT DownloadOperation::get_BytesReceived(INT64* bytesReceived) {
	if (HRESULT hr = call("get_BytesReceived"); FAILED(hr)) return hr;
	if (bytesReceived == nullptr) return E_POINTER;
	*bytesReceived = received_;
	return S_OK;
}

HRESULT DownloadOperation::get_EstimatedEndTime(LPWSTR*) {
	HRESULT hr = call("get_EstimatedEndTime");
	return FAILED(hr) ? hr : not_modelled;
}

HRESULT DownloadOperation::get_ResultFilePath(LPWSTR* resultFilePath) {
	if (HRESULT hr = call("get_ResultFilePath"); FAILED(hr)) return hr;
	return hand_out(path_, resultFilePath);
}

HRESULT DownloadOperation::get_State(COREWEBVIEW2_DOWNLOAD_STATE* downloadState) {
	if (HRESULT hr = call("get_State"); FAILED(hr)) return hr;
	if (downloadState == nullptr) return E_POINTER;
	*downloadState = state_;
	return S_OK;
}

HRESULT DownloadOperation::get_InterruptReason(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON* interruptReason) {
	if (HRESULT hr = call("get_InterruptReason"); FAILED(hr)) return hr;
	if (interruptReason == nullptr) return E_POINTER;
	*interruptReason = reason_;
	return S_OK;
}

HRESULT DownloadOperation::Cancel() {
	if (HRESULT hr = call("Cancel"); FAILED(hr)) return hr;
	if (state_ == COREWEBVIEW2_DOWNLOAD_STATE_IN_PROGRESS) move_to(COREWEBVIEW2_DOWNLOAD_STATE_INTERRUPTED, COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_USER_CANCELED);
	return S_OK;
}

HRESULT DownloadOperation::Pause() {
	HRESULT hr = call("Pause");
	return FAILED(hr) ? hr : not_modelled;
}

HRESULT DownloadOperation::Resume() {
	HRESULT hr = call("Resume");
	return FAILED(hr) ? hr : not_modelled;
}

HRESULT DownloadOperation::get_CanResume(BOOL* canResume) {
	if (HRESULT hr = call("get_CanResume"); FAILED(hr)) return hr;
	if (canResume == nullptr) return E_POINTER;
	*canResume = FALSE;
	return S_OK;
}

void DownloadOperation::move_to(COREWEBVIEW2_DOWNLOAD_STATE state, COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON reason) {
	state_ = state;
	reason_ = reason;
	Engine::get().post([self = Ref<DownloadOperation>::share(this), state, reason] {
		Engine::get().record_event("download StateChanged state=" + std::to_string(state) + " reason=" + std::to_string(reason));
		auto snapshot = self->handlers_;
		for (auto& [token, handler] : snapshot) {
			bool still = std::any_of(self->handlers_.begin(), self->handlers_.end(), [&](auto& entry) { return entry.first == token; });
			if (still) handler->Invoke(self.get(), nullptr);
		}
	});
}

void DownloadOperation::start(bool cancel, std::wstring path) {
	Engine& engine = Engine::get();
	if (cancel) {
		// Nothing is saved and no dialog shown.
		engine.record_event("download cancelled " + logged(spec_.url));
		move_to(COREWEBVIEW2_DOWNLOAD_STATE_INTERRUPTED, COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_USER_CANCELED);
		return;
	}
	path_ = std::move(path);
	engine.post([self = Ref<DownloadOperation>::share(this)] { self->transfer(); });
}

void DownloadOperation::transfer() {
	if (state_ != COREWEBVIEW2_DOWNLOAD_STATE_IN_PROGRESS) return;
	if (spec_.failure != COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_NONE) {
		move_to(COREWEBVIEW2_DOWNLOAD_STATE_INTERRUPTED, spec_.failure);
		return;
	}
	// Missing folders are made; an existing file is overwritten.
	std::error_code error;
	std::filesystem::path target(path_);
	std::filesystem::create_directories(target.parent_path(), error);
	std::ofstream file(target, std::ios::binary | std::ios::trunc);
	file.write(spec_.bytes.data(), static_cast<std::streamsize>(spec_.bytes.size()));
	file.close();
	if (!file) {
		move_to(COREWEBVIEW2_DOWNLOAD_STATE_INTERRUPTED, COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_FAILED);
		return;
	}
	received_ = static_cast<INT64>(spec_.bytes.size());
	Engine::get().record_event("download saved " + logged(path_));
	move_to(COREWEBVIEW2_DOWNLOAD_STATE_COMPLETED, COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_NONE);
}

HRESULT DownloadStartingEventArgs::get_DownloadOperation(ICoreWebView2DownloadOperation** downloadOperation) {
	if (HRESULT hr = enter_args(enter("get_DownloadOperation"), "get_DownloadOperation"); FAILED(hr)) return hr;
	if (downloadOperation == nullptr) return E_POINTER;
	*downloadOperation = Ref<DownloadOperation>(operation_).detach();
	return S_OK;
}

HRESULT DownloadStartingEventArgs::get_Cancel(BOOL* cancel) {
	if (HRESULT hr = enter_args(enter("get_Cancel"), "get_Cancel"); FAILED(hr)) return hr;
	if (cancel == nullptr) return E_POINTER;
	*cancel = cancel_;
	return S_OK;
}

HRESULT DownloadStartingEventArgs::put_Cancel(BOOL cancel) {
	if (HRESULT hr = enter_args(enter("put_Cancel"), "put_Cancel(" + std::to_string(cancel) + ")"); FAILED(hr)) return hr;
	if (decision_.open("put_Cancel")) cancel_ = cancel ? TRUE : FALSE;
	return S_OK;
}

HRESULT DownloadStartingEventArgs::get_ResultFilePath(LPWSTR* resultFilePath) {
	if (HRESULT hr = enter_args(enter("get_ResultFilePath"), "get_ResultFilePath"); FAILED(hr)) return hr;
	return hand_out(path_, resultFilePath);
}

HRESULT DownloadStartingEventArgs::put_ResultFilePath(LPCWSTR resultFilePath) {
	if (HRESULT hr = enter_args(enter("put_ResultFilePath"), "put_ResultFilePath(" + logged(resultFilePath) + ")"); FAILED(hr)) return hr;
	// An absolute path with the file name.
	if (resultFilePath == nullptr || !std::filesystem::path(resultFilePath).is_absolute() || !std::filesystem::path(resultFilePath).has_filename()) {
		return E_INVALIDARG;
	}
	if (decision_.open("put_ResultFilePath")) path_ = resultFilePath;
	return S_OK;
}

HRESULT DownloadStartingEventArgs::get_Handled(BOOL* handled) {
	if (HRESULT hr = enter_args(enter("get_Handled"), "get_Handled"); FAILED(hr)) return hr;
	if (handled == nullptr) return E_POINTER;
	*handled = handled_;
	return S_OK;
}

HRESULT DownloadStartingEventArgs::put_Handled(BOOL handled) {
	if (HRESULT hr = enter_args(enter("put_Handled"), "put_Handled(" + std::to_string(handled) + ")"); FAILED(hr)) return hr;
	if (decision_.open("put_Handled")) handled_ = handled ? TRUE : FALSE;
	return S_OK;
}

HRESULT DownloadStartingEventArgs::GetDeferral(ICoreWebView2Deferral** deferral) {
	if (HRESULT hr = enter_args(enter("GetDeferral"), "GetDeferral"); FAILED(hr)) return hr;
	return decision_.defer(deferral);
}

} // namespace standin
