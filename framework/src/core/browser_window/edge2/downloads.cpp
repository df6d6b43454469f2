// Downloads through the program: the engine's DownloadStarting (ICoreWebView2_4) asks the program's
// destination, and each accepted download's StateChanged reports how it ended.
#include "browser/browser_window.hpp"
#include "core/browser_window/edge2/com_handler.hpp"
#include "core/browser_window/edge2/engine_text.hpp"
#include "core/browser_window/edge2/view_capabilities.hpp"
#include "core/utf8.hpp"

#include <wrl/client.h>

#include <atomic>
#include <cstdio>
#include <filesystem>

namespace bw::edge2 {

namespace {

using Microsoft::WRL::ComPtr;

std::string text_of(HRESULT hr, LPWSTR text) { return take_engine_text(hr, text).value_or(std::string()); }

// The file name a Content-Disposition header gives: filename*=UTF-8''<percent-encoded> before
// filename="<name>" or filename=<token>. Only the last part of a name that holds a path.
std::string disposition_name(std::string_view header) {
	auto value_after = [&](std::string_view key) -> std::optional<std::string> {
		for (size_t at = header.find(key); at != std::string_view::npos; at = header.find(key, at + 1)) {
			if (at > 0 && header[at - 1] != ';' && header[at - 1] != ' ') continue;
			std::string_view rest = header.substr(at + key.size());
			if (!rest.empty() && rest.front() == '"') {
				std::string value;
				for (size_t i = 1; i < rest.size() && rest[i] != '"'; ++i) value += rest[i] == '\\' && i + 1 < rest.size() ? rest[++i] : rest[i];
				return value;
			}
			return std::string(rest.substr(0, rest.find(';')));
		}
		return std::nullopt;
	};
	std::string name;
	if (std::optional<std::string> extended = value_after("filename*=")) {
		size_t quote = extended->find("''");
		std::string_view encoded = quote == std::string::npos ? std::string_view(*extended) : std::string_view(*extended).substr(quote + 2);
		auto hex = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1; };
		for (size_t i = 0; i < encoded.size(); ++i) {
			if (encoded[i] == '%' && i + 2 < encoded.size() && hex(encoded[i + 1]) >= 0 && hex(encoded[i + 2]) >= 0) {
				name += static_cast<char>(hex(encoded[i + 1]) * 16 + hex(encoded[i + 2]));
				i += 2;
			} else {
				name += encoded[i];
			}
		}
	} else if (std::optional<std::string> plain = value_after("filename=")) {
		name = *plain;
	}
	// The percent-encoded bytes are the server's: not always UTF-8.
	name = utf8::replace_invalid(name);
	size_t separator = name.find_last_of("/\\");
	return separator == std::string::npos ? name : name.substr(separator + 1);
}

// What went wrong, for the user.
std::string interruption_text(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON reason) {
	switch (reason) {
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_ACCESS_DENIED: return "the file could not be written: access denied";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_NO_SPACE: return "the disk is full";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_NAME_TOO_LONG: return "the file name is too long";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_TOO_LARGE: return "the file is too large for the disk";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_MALICIOUS: return "the file was found to be malicious";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_BLOCKED_BY_POLICY: return "the file is blocked by policy";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_SECURITY_CHECK_FAILED: return "the file failed a security check";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_TOO_SHORT:
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_HASH_MISMATCH:
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_SERVER_CONTENT_LENGTH_MISMATCH: return "the file arrived incomplete";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_FAILED:
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_TRANSIENT_ERROR: return "the file could not be written";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_NETWORK_TIMEOUT: return "the network timed out";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_NETWORK_DISCONNECTED: return "the network was disconnected";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_NETWORK_SERVER_DOWN: return "the server is unreachable";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_NETWORK_FAILED:
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_NETWORK_INVALID_REQUEST: return "a network error";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_SERVER_UNAUTHORIZED: return "the server asked for authorization";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_SERVER_CERTIFICATE_PROBLEM: return "the server's certificate is not valid";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_SERVER_FORBIDDEN: return "the server refused access";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_SERVER_CROSS_ORIGIN_REDIRECT: return "the server redirected to another site";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_USER_CANCELED: return "the download was cancelled";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_USER_SHUTDOWN: return "the browser engine shut down";
	case COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_DOWNLOAD_PROCESS_CRASHED: return "the engine's download process crashed";
	default: return "the server could not deliver the file";
	}
}

// Reports one accepted download's end, once; a pause is not an end.
class DownloadStateChanged final : public ComHandler<ICoreWebView2StateChangedEventHandler, IID_ICoreWebView2StateChangedEventHandler> {
public:
	DownloadStateChanged(bw_BrowserWindow* record, std::shared_ptr<Liveness> liveness, std::string url, std::filesystem::path path)
	    : record_(record), liveness_(std::move(liveness)), url_(std::move(url)), path_(std::move(path)) {}

	void registered(EventRegistrationToken token) { token_ = token; }

	// The sender, the operation, is only lent. Nothing thrown may reach the engine.
	HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2DownloadOperation* operation, IUnknown*) override {
		KeepAlive keep(this);
		try {
			report(operation);
		} catch (const std::exception& error) {
			std::fprintf(stderr, "WebView2: reporting a download's end failed: %s\n", error.what());
		} catch (...) {
			std::fprintf(stderr, "WebView2: reporting a download's end failed\n");
		}
		return S_OK;
	}

private:
	~DownloadStateChanged() override = default;

	void report(ICoreWebView2DownloadOperation* operation) {
		if (reported_ || operation == nullptr) return;
		COREWEBVIEW2_DOWNLOAD_STATE state = COREWEBVIEW2_DOWNLOAD_STATE_IN_PROGRESS;
		if (FAILED(operation->get_State(&state)) || state == COREWEBVIEW2_DOWNLOAD_STATE_IN_PROGRESS) return;
		COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON reason = COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_NONE;
		if (state == COREWEBVIEW2_DOWNLOAD_STATE_INTERRUPTED) {
			operation->get_InterruptReason(&reason);
			if (reason == COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_USER_PAUSED) return;
		}
		reported_ = true;
		operation->remove_StateChanged(token_);
		if (!liveness_->alive) return;
		DownloadOutcome outcome{url_, path_, state == COREWEBVIEW2_DOWNLOAD_STATE_COMPLETED, {}};
		if (outcome.succeeded) {
			LPWSTR final_path = nullptr;
			HRESULT hr = operation->get_ResultFilePath(&final_path);
			if (SUCCEEDED(hr) && final_path != nullptr && *final_path != L'\0') outcome.path = final_path;
			CoTaskMemFree(final_path);
		} else {
			outcome.error = interruption_text(reason);
		}
		liveness_->capabilities->download_finished(BrowserWindowHandle(record_), outcome);
	}

	bw_BrowserWindow* record_;
	std::shared_ptr<Liveness> liveness_;
	std::string url_;
	std::filesystem::path path_;
	EventRegistrationToken token_{};
	bool reported_ = false;
};

class DownloadStarting final : public ComHandler<ICoreWebView2DownloadStartingEventHandler, IID_ICoreWebView2DownloadStartingEventHandler> {
public:
	DownloadStarting(bw_BrowserWindow* record, std::shared_ptr<Liveness> liveness) : record_(record), liveness_(std::move(liveness)) {}

	// Cancel, ResultFilePath and Handled are read when this returns: all are set here. Nothing
	// thrown may reach the engine: a download that fails so is cancelled.
	HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2*, ICoreWebView2DownloadStartingEventArgs* args) override {
		KeepAlive keep(this);
		if (args == nullptr) return S_OK;
		try {
			return decide(args);
		} catch (const std::exception& error) {
			std::fprintf(stderr, "WebView2: a download was cancelled: %s\n", error.what());
		} catch (...) {
			std::fprintf(stderr, "WebView2: a download was cancelled\n");
		}
		return args->put_Cancel(TRUE);
	}

private:
	~DownloadStarting() override = default;

	HRESULT decide(ICoreWebView2DownloadStartingEventArgs* args) {
		if (!liveness_->alive) return S_OK;
		ComPtr<ICoreWebView2DownloadOperation> operation;
		if (FAILED(args->get_DownloadOperation(operation.GetAddressOf())) || operation == nullptr) return S_OK;
		// One text per getter: a getter that fails may leave its out-parameter as it was.
		LPWSTR uri = nullptr;
		HRESULT hr = operation->get_Uri(&uri);
		// The engine tells neither the user's part in it nor its frame: both stay false.
		DownloadRequest request;
		request.url = text_of(hr, uri);
		LPWSTR mime_type = nullptr;
		hr = operation->get_MimeType(&mime_type);
		request.mime_type = text_of(hr, mime_type);
		// The engine proposes a path whose file name already follows the server's suggestion.
		LPWSTR proposed = nullptr;
		hr = args->get_ResultFilePath(&proposed);
		request.suggested_name = process_path_name(text_of(hr, proposed));
		if (request.suggested_name.empty()) {
			LPWSTR disposition = nullptr;
			hr = operation->get_ContentDisposition(&disposition);
			request.suggested_name = disposition_name(text_of(hr, disposition));
		}

		std::optional<std::filesystem::path> destination = liveness_->capabilities->download_destination(BrowserWindowHandle(record_), request);
		if (!destination || !liveness_->alive) return args->put_Cancel(TRUE);
		hr = args->put_ResultFilePath(destination->c_str());
		// A path the engine refuses would leave the download at its own default path.
		if (FAILED(hr)) return args->put_Cancel(TRUE);
		args->put_Handled(TRUE);
		if (!liveness_->capabilities->download_finished) return S_OK;
		auto* state_changed = new DownloadStateChanged(record_, liveness_, request.url, *destination);
		EventRegistrationToken token{};
		if (SUCCEEDED(operation->add_StateChanged(state_changed, &token))) state_changed->registered(token);
		state_changed->Release();
		return S_OK;
	}

	static std::string process_path_name(const std::string& path) {
		size_t separator = path.find_last_of("/\\");
		return separator == std::string::npos ? path : path.substr(separator + 1);
	}

	bw_BrowserWindow* record_;
	std::shared_ptr<Liveness> liveness_;
};

} // namespace

void install_downloads(const ViewParts& view) {
	if (!view.capabilities().download_destination) return;
	ComPtr<ICoreWebView2_4> webview;
	if (FAILED(view.webview->QueryInterface(IID_ICoreWebView2_4, reinterpret_cast<void**>(webview.GetAddressOf()))) || webview == nullptr) {
		static std::atomic<bool> told{false};
		if (!told.exchange(true)) {
			std::fprintf(stderr, "WebView2: this runtime cannot hand downloads to the program (no ICoreWebView2_4); the engine saves them itself\n");
		}
		return;
	}
	// Not kept: the handler goes with the view, and does nothing once the window is freed.
	EventRegistrationToken token{};
	auto* starting = new DownloadStarting(view.record, view.liveness);
	webview->add_DownloadStarting(starting, &token);
	starting->Release();
}

} // namespace bw::edge2
