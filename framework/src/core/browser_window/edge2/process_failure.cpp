// The engine's ProcessFailed for the program: the page's process ended or stopped answering, or the
// engine itself ended. Failures that leave the page as it was (a frame's, the GPU's or a utility
// process) only reach the standard error stream.
#include "browser/browser_window.hpp"
#include "core/browser_window/edge2/com_handler.hpp"
#include "core/browser_window/edge2/engine_text.hpp"
#include "core/browser_window/edge2/view_capabilities.hpp"

#include <wrl/client.h>

#include <cstdio>

namespace bw::edge2 {

namespace {

using Microsoft::WRL::ComPtr;

std::optional<ProcessFailure::Kind> failure_kind(COREWEBVIEW2_PROCESS_FAILED_KIND kind) {
	switch (kind) {
	case COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED: return ProcessFailure::Kind::PageEnded;
	case COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE: return ProcessFailure::Kind::PageUnresponsive;
	case COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED: return ProcessFailure::Kind::EngineEnded;
	default: return std::nullopt;
	}
}

const char* process_name(COREWEBVIEW2_PROCESS_FAILED_KIND kind) {
	switch (kind) {
	case COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED: return "The browser engine";
	case COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED:
	case COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE: return "The page's process";
	case COREWEBVIEW2_PROCESS_FAILED_KIND_FRAME_RENDER_PROCESS_EXITED: return "The process of a frame in the page";
	case COREWEBVIEW2_PROCESS_FAILED_KIND_GPU_PROCESS_EXITED: return "The engine's GPU process";
	case COREWEBVIEW2_PROCESS_FAILED_KIND_UTILITY_PROCESS_EXITED: return "A utility process of the engine";
	case COREWEBVIEW2_PROCESS_FAILED_KIND_SANDBOX_HELPER_PROCESS_EXITED: return "The engine's sandbox helper process";
	case COREWEBVIEW2_PROCESS_FAILED_KIND_PPAPI_PLUGIN_PROCESS_EXITED:
	case COREWEBVIEW2_PROCESS_FAILED_KIND_PPAPI_BROKER_PROCESS_EXITED: return "A plugin process of the engine";
	default: return "A process of the engine";
	}
}

const char* what_happened(COREWEBVIEW2_PROCESS_FAILED_REASON reason) {
	switch (reason) {
	case COREWEBVIEW2_PROCESS_FAILED_REASON_UNRESPONSIVE: return "stopped answering";
	case COREWEBVIEW2_PROCESS_FAILED_REASON_TERMINATED: return "was terminated";
	case COREWEBVIEW2_PROCESS_FAILED_REASON_CRASHED: return "crashed";
	case COREWEBVIEW2_PROCESS_FAILED_REASON_LAUNCH_FAILED: return "could not be started";
	case COREWEBVIEW2_PROCESS_FAILED_REASON_OUT_OF_MEMORY: return "ran out of memory";
	default: return "ended unexpectedly";
	}
}

// "The page's process crashed (renderer, exit code 0xC0000005)". The details come from the second
// version of the arguments, which older runtimes lack.
std::string failure_reason(ICoreWebView2ProcessFailedEventArgs* args, COREWEBVIEW2_PROCESS_FAILED_KIND kind) {
	bool unresponsive = kind == COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE;
	std::string text = process_name(kind);
	ComPtr<ICoreWebView2ProcessFailedEventArgs2> details;
	if (FAILED(args->QueryInterface(IID_ICoreWebView2ProcessFailedEventArgs2, reinterpret_cast<void**>(details.GetAddressOf()))) ||
	    details == nullptr) {
		return text + (unresponsive ? " stopped answering" : " ended unexpectedly");
	}
	COREWEBVIEW2_PROCESS_FAILED_REASON reason =
	    unresponsive ? COREWEBVIEW2_PROCESS_FAILED_REASON_UNRESPONSIVE : COREWEBVIEW2_PROCESS_FAILED_REASON_UNEXPECTED;
	if (!unresponsive && FAILED(details->get_Reason(&reason))) reason = COREWEBVIEW2_PROCESS_FAILED_REASON_UNEXPECTED;
	text += std::string(" ") + what_happened(reason);
	LPWSTR description = nullptr;
	HRESULT hr = details->get_ProcessDescription(&description);
	std::string notes = take_engine_text(hr, description).value_or(std::string());
	int exit_code = 0;
	// An unresponsive process has not exited: its code says only that it still runs.
	if (!unresponsive && SUCCEEDED(details->get_ExitCode(&exit_code)) && exit_code != 0) {
		char code[32];
		if (exit_code < 0 || exit_code > 0xFFFF) {
			std::snprintf(code, sizeof code, "exit code 0x%08X", static_cast<unsigned>(exit_code));
		} else {
			std::snprintf(code, sizeof code, "exit code %d", exit_code);
		}
		notes += notes.empty() ? code : std::string(", ") + code;
	}
	return notes.empty() ? text : text + " (" + notes + ")";
}

class ProcessFailed final : public ComHandler<ICoreWebView2ProcessFailedEventHandler, IID_ICoreWebView2ProcessFailedEventHandler> {
public:
	ProcessFailed(bw_BrowserWindow* record, std::shared_ptr<Liveness> liveness) : record_(record), liveness_(std::move(liveness)) {}

	HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2*, ICoreWebView2ProcessFailedEventArgs* args) override {
		KeepAlive keep(this);
		if (!liveness_->alive || args == nullptr) return S_OK;
		COREWEBVIEW2_PROCESS_FAILED_KIND kind = COREWEBVIEW2_PROCESS_FAILED_KIND_UNKNOWN_PROCESS_EXITED;
		if (FAILED(args->get_ProcessFailedKind(&kind))) return S_OK;
		std::string reason = failure_reason(args, kind);
		std::optional<ProcessFailure::Kind> failure = failure_kind(kind);
		if (!failure) {
			std::fprintf(stderr, "WebView2: %s\n", reason.c_str());
			return S_OK;
		}
		liveness_->capabilities->process_failed(BrowserWindowHandle(record_), ProcessFailure{*failure, std::move(reason)});
		return S_OK;
	}

private:
	~ProcessFailed() override = default;

	bw_BrowserWindow* record_;
	std::shared_ptr<Liveness> liveness_;
};

} // namespace

void install_process_failure(const ViewParts& view) {
	if (!view.capabilities().process_failed) return;
	// Not kept: the handler goes with the view, and does nothing once the window is freed.
	EventRegistrationToken token{};
	auto* failed = new ProcessFailed(view.record, view.liveness);
	view.webview->add_ProcessFailed(failed, &token);
	failed->Release();
}

} // namespace bw::edge2
