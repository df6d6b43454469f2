// The program's permission policy over the engine's PermissionRequested: Handled, so that no
// frame's or the engine's own handling follows, and SavesInProfile off, so that no decision outlives
// the policy in the profile (where the engine would no longer ask). Notifications are denied where
// the runtime cannot hand them to the program.
#include "browser/browser_window.hpp"
#include "core/browser_window/edge2/com_handler.hpp"
#include "core/browser_window/edge2/creation_failure.hpp"
#include "core/browser_window/edge2/engine_text.hpp"
#include "core/browser_window/edge2/view_capabilities.hpp"
#include "core/browser_window/edge2/webview2_abi_page_desktop.hpp"
#include "core/browser_window/message_delivery.hpp"

#include <wrl/client.h>

namespace bw::edge2 {

namespace {

using Microsoft::WRL::ComPtr;

PermissionKind kind_of(COREWEBVIEW2_PERMISSION_KIND kind) {
	switch (kind) {
	case COREWEBVIEW2_PERMISSION_KIND_MICROPHONE: return PermissionKind::Microphone;
	case COREWEBVIEW2_PERMISSION_KIND_CAMERA: return PermissionKind::Camera;
	case COREWEBVIEW2_PERMISSION_KIND_GEOLOCATION: return PermissionKind::Geolocation;
	case COREWEBVIEW2_PERMISSION_KIND_NOTIFICATIONS: return PermissionKind::Notifications;
	case COREWEBVIEW2_PERMISSION_KIND_CLIPBOARD_READ: return PermissionKind::ClipboardRead;
	default: return PermissionKind::Other;
	}
}

class PermissionRequested final : public ComHandler<ICoreWebView2PermissionRequestedEventHandler, IID_ICoreWebView2PermissionRequestedEventHandler> {
public:
	PermissionRequested(bw_BrowserWindow* record, std::shared_ptr<Liveness> liveness) : record_(record), liveness_(std::move(liveness)) {}

	// The engine reads what is set once the handlers have returned.
	HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2*, ICoreWebView2PermissionRequestedEventArgs* args) override {
		KeepAlive keep(this);
		if (args == nullptr) return S_OK;
		ComPtr<ICoreWebView2PermissionRequestedEventArgs2> args2;
		if (SUCCEEDED(args->QueryInterface(IID_ICoreWebView2PermissionRequestedEventArgs2, reinterpret_cast<void**>(args2.GetAddressOf()))))
			args2->put_Handled(TRUE);
		ComPtr<ICoreWebView2PermissionRequestedEventArgs3> args3;
		if (SUCCEEDED(args->QueryInterface(IID_ICoreWebView2PermissionRequestedEventArgs3, reinterpret_cast<void**>(args3.GetAddressOf()))))
			args3->put_SavesInProfile(FALSE);
		args->put_State(decide(args) ? COREWEBVIEW2_PERMISSION_STATE_ALLOW : COREWEBVIEW2_PERMISSION_STATE_DENY);
		return S_OK;
	}

private:
	~PermissionRequested() override = default;

	bool decide(ICoreWebView2PermissionRequestedEventArgs* args) {
		if (!liveness_->alive) return false;
		LPWSTR uri = nullptr;
		HRESULT hr = args->get_Uri(&uri);
		std::optional<std::string> origin = take_engine_text(hr, uri);
		COREWEBVIEW2_PERMISSION_KIND engine_kind = COREWEBVIEW2_PERMISSION_KIND_UNKNOWN_PERMISSION;
		if (!origin || FAILED(args->get_PermissionKind(&engine_kind))) return false;
		PermissionKind kind = kind_of(engine_kind);
		if (kind == PermissionKind::Notifications && liveness_->notifications_unsupported) return false;
		BOOL user = FALSE;
		if (FAILED(args->get_IsUserInitiated(&user))) user = FALSE;
		PermissionRequest request{origin_of(*origin), kind, user != FALSE};
		return liveness_->capabilities->permission_policy(BrowserWindowHandle(record_), request) == PermissionDecision::Allow;
	}

	bw_BrowserWindow* record_;
	std::shared_ptr<Liveness> liveness_;
};

} // namespace

void install_permissions(const ViewParts& view) {
	if (!view.capabilities().permission_policy) return;
	EventRegistrationToken token{};
	auto* requested = new PermissionRequested(view.record, view.liveness);
	HRESULT hr = view.webview->add_PermissionRequested(requested, &token);
	requested->Release();
	// Pages would otherwise get what the engine decides.
	if (FAILED(hr)) creation_failure("unable to install the permission policy", hr);
}

} // namespace bw::edge2
