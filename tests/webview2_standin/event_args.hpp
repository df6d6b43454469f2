// The arguments of the events a program can answer (NavigationStarting, NewWindowRequested,
// DownloadStarting), their deferrals, ProcessFailed's arguments and the download operation.
//
// The engine reads what handlers set once they have all returned, or, when one took a deferral,
// once every deferral taken has completed. A setter called after that point changes nothing and
// is recorded as a violation: the engine's documentation promises nothing for it.
#pragma once

#include "engine.hpp"

#include "core/browser_window/edge2/webview2_abi.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace standin {

// When an event's outcome is read.
class Decision {
public:
	explicit Decision(std::string event) : state_(std::make_shared<State>()) { state_->event = std::move(event); }

	// Whether a setter may still change the outcome; records a violation otherwise.
	bool open(const char* setter) const;
	// A new deferral; the outcome waits for its Complete.
	HRESULT defer(ICoreWebView2Deferral** deferral);
	// Every handler has returned: decide runs now, or when the last deferral completes.
	void handlers_returned(std::function<void()> decide);

private:
	friend class Deferral;
	struct State {
		std::string event;
		int deferrals = 0;
		bool returned = false;
		bool decided = false;
		std::function<void()> decide;
	};
	static void settle(const std::shared_ptr<State>& state);

	std::shared_ptr<State> state_;
};

class Deferral final : public ComObject<ICoreWebView2Deferral, IID_ICoreWebView2Deferral> {
public:
	explicit Deferral(std::shared_ptr<Decision::State> state) : ComObject("Deferral"), state_(std::move(state)) {}

	HRESULT STDMETHODCALLTYPE Complete() override;

private:
	void on_final_release() override;

	std::shared_ptr<Decision::State> state_;
	bool completed_ = false;
};

class NavigationStartingEventArgs final : public ComObject<ICoreWebView2NavigationStartingEventArgs, IID_ICoreWebView2NavigationStartingEventArgs> {
public:
	NavigationStartingEventArgs(std::wstring uri, bool user_initiated, uint64_t id)
	    : ComObject("NavigationStartingEventArgs"), uri_(std::move(uri)), user_initiated_(user_initiated), id_(id) {}

	Decision& decision() { return decision_; }
	bool cancelled() const { return cancel_; }

	HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override;
	HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) override;
	HRESULT STDMETHODCALLTYPE get_IsRedirected(BOOL* isRedirected) override;
	HRESULT STDMETHODCALLTYPE get_RequestHeaders(ICoreWebView2HttpRequestHeaders**) override;
	HRESULT STDMETHODCALLTYPE get_Cancel(BOOL* cancel) override;
	HRESULT STDMETHODCALLTYPE put_Cancel(BOOL cancel) override;
	HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* navigationId) override;

private:
	std::wstring uri_;
	bool user_initiated_;
	uint64_t id_;
	BOOL cancel_ = FALSE;
	Decision decision_{"NavigationStarting"};
};

class NewWindowRequestedEventArgs final : public ComObject<ICoreWebView2NewWindowRequestedEventArgs, IID_ICoreWebView2NewWindowRequestedEventArgs> {
public:
	NewWindowRequestedEventArgs(std::wstring uri, bool user_initiated)
	    : ComObject("NewWindowRequestedEventArgs"), uri_(std::move(uri)), user_initiated_(user_initiated) {}

	Decision& decision() { return decision_; }
	bool handled() const { return handled_; }
	bool has_new_window() const { return static_cast<bool>(new_window_); }

	HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override;
	HRESULT STDMETHODCALLTYPE put_NewWindow(ICoreWebView2* newWindow) override;
	HRESULT STDMETHODCALLTYPE get_NewWindow(ICoreWebView2** newWindow) override;
	HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) override;
	HRESULT STDMETHODCALLTYPE get_Handled(BOOL* handled) override;
	HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) override;
	HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override;
	HRESULT STDMETHODCALLTYPE get_WindowFeatures(ICoreWebView2WindowFeatures**) override;

private:
	void on_final_release() override { new_window_.reset(); }

	std::wstring uri_;
	bool user_initiated_;
	BOOL handled_ = FALSE;
	Ref<ICoreWebView2> new_window_;
	Decision decision_{"NewWindowRequested"};
};

// The second version of the arguments, which answers for the first as well.
class ProcessFailedEventArgs final : public ComObject<ICoreWebView2ProcessFailedEventArgs2, IID_ICoreWebView2ProcessFailedEventArgs2> {
public:
	ProcessFailedEventArgs(COREWEBVIEW2_PROCESS_FAILED_KIND kind, COREWEBVIEW2_PROCESS_FAILED_REASON reason, int exit_code, std::wstring description)
	    : ComObject("ProcessFailedEventArgs"), kind_(kind), reason_(reason), exit_code_(exit_code), description_(std::move(description)) {}

	HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
	HRESULT STDMETHODCALLTYPE get_ProcessFailedKind(COREWEBVIEW2_PROCESS_FAILED_KIND* value) override;
	HRESULT STDMETHODCALLTYPE get_Reason(COREWEBVIEW2_PROCESS_FAILED_REASON* reason) override;
	HRESULT STDMETHODCALLTYPE get_ExitCode(int* exitCode) override;
	HRESULT STDMETHODCALLTYPE get_ProcessDescription(LPWSTR* processDescription) override;
	HRESULT STDMETHODCALLTYPE get_FrameInfosForFailedProcess(ICoreWebView2FrameInfoCollection** frames) override;

private:
	COREWEBVIEW2_PROCESS_FAILED_KIND kind_;
	COREWEBVIEW2_PROCESS_FAILED_REASON reason_;
	int exit_code_;
	std::wstring description_;
};

// What the page's server sends for a download.
struct DownloadSpec {
	std::wstring url;
	std::wstring content_disposition;
	std::wstring mime_type;
	std::string bytes;
	// Interrupts the transfer with this reason instead of delivering the bytes.
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON failure = COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_NONE;
};

// One download: its state moves, and StateChanged is raised, later through the message loop.
class DownloadOperation final : public ComObject<ICoreWebView2DownloadOperation, IID_ICoreWebView2DownloadOperation> {
public:
	DownloadOperation(DownloadSpec spec, std::wstring path) : ComObject("DownloadOperation"), spec_(std::move(spec)), path_(std::move(path)) {}

	// The DownloadStarting event completed with these values.
	void start(bool cancel, std::wstring path);

	HRESULT STDMETHODCALLTYPE add_BytesReceivedChanged(ICoreWebView2BytesReceivedChangedEventHandler*, EventRegistrationToken*) override;
	HRESULT STDMETHODCALLTYPE remove_BytesReceivedChanged(EventRegistrationToken) override;
	HRESULT STDMETHODCALLTYPE add_EstimatedEndTimeChanged(ICoreWebView2EstimatedEndTimeChangedEventHandler*, EventRegistrationToken*) override;
	HRESULT STDMETHODCALLTYPE remove_EstimatedEndTimeChanged(EventRegistrationToken) override;
	HRESULT STDMETHODCALLTYPE add_StateChanged(ICoreWebView2StateChangedEventHandler* eventHandler, EventRegistrationToken* token) override;
	HRESULT STDMETHODCALLTYPE remove_StateChanged(EventRegistrationToken token) override;
	HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override;
	HRESULT STDMETHODCALLTYPE get_ContentDisposition(LPWSTR* contentDisposition) override;
	HRESULT STDMETHODCALLTYPE get_MimeType(LPWSTR* mimeType) override;
	HRESULT STDMETHODCALLTYPE get_TotalBytesToReceive(INT64* totalBytesToReceive) override;
	HRESULT STDMETHODCALLTYPE get_BytesReceived(INT64* bytesReceived) override;
	HRESULT STDMETHODCALLTYPE get_EstimatedEndTime(LPWSTR*) override;
	HRESULT STDMETHODCALLTYPE get_ResultFilePath(LPWSTR* resultFilePath) override;
	HRESULT STDMETHODCALLTYPE get_State(COREWEBVIEW2_DOWNLOAD_STATE* downloadState) override;
	HRESULT STDMETHODCALLTYPE get_InterruptReason(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON* interruptReason) override;
	HRESULT STDMETHODCALLTYPE Cancel() override;
	HRESULT STDMETHODCALLTYPE Pause() override;
	HRESULT STDMETHODCALLTYPE Resume() override;
	HRESULT STDMETHODCALLTYPE get_CanResume(BOOL* canResume) override;

private:
	HRESULT call(const char* method);
	void on_final_release() override { handlers_.clear(); }
	// Moves to the state now and raises StateChanged later.
	void move_to(COREWEBVIEW2_DOWNLOAD_STATE state, COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON reason);
	void transfer();

	DownloadSpec spec_;
	std::wstring path_;
	INT64 received_ = 0;
	COREWEBVIEW2_DOWNLOAD_STATE state_ = COREWEBVIEW2_DOWNLOAD_STATE_IN_PROGRESS;
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON reason_ = COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_NONE;
	std::vector<std::pair<int64_t, Ref<ICoreWebView2StateChangedEventHandler>>> handlers_;
};

class DownloadStartingEventArgs final : public ComObject<ICoreWebView2DownloadStartingEventArgs, IID_ICoreWebView2DownloadStartingEventArgs> {
public:
	DownloadStartingEventArgs(Ref<DownloadOperation> operation, std::wstring default_path)
	    : ComObject("DownloadStartingEventArgs"), operation_(std::move(operation)), path_(std::move(default_path)) {}

	Decision& decision() { return decision_; }
	bool cancelled() const { return cancel_; }
	bool handled() const { return handled_; }
	const std::wstring& path() const { return path_; }

	HRESULT STDMETHODCALLTYPE get_DownloadOperation(ICoreWebView2DownloadOperation** downloadOperation) override;
	HRESULT STDMETHODCALLTYPE get_Cancel(BOOL* cancel) override;
	HRESULT STDMETHODCALLTYPE put_Cancel(BOOL cancel) override;
	HRESULT STDMETHODCALLTYPE get_ResultFilePath(LPWSTR* resultFilePath) override;
	HRESULT STDMETHODCALLTYPE put_ResultFilePath(LPCWSTR resultFilePath) override;
	HRESULT STDMETHODCALLTYPE get_Handled(BOOL* handled) override;
	HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) override;
	HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override;

private:
	void on_final_release() override { operation_.reset(); }

	Ref<DownloadOperation> operation_;
	std::wstring path_;
	BOOL cancel_ = FALSE;
	BOOL handled_ = FALSE;
	Decision decision_{"DownloadStarting"};
};

// The path the engine proposes before the program chooses: the user's Downloads folder and the name
// the server suggests (Content-Disposition), else the URL's last part.
std::wstring default_download_path(const DownloadSpec& spec);

} // namespace standin
