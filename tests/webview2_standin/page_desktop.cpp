// Permission requests and web notifications of a page (page_desktop.hpp).
#include "page_desktop.hpp"

#include "objects.hpp"
#include "registrations.hpp"
#include "text.hpp"

#include <algorithm>
#include <map>

namespace standin {

namespace {

const HRESULT invalid_state = HRESULT_FROM_WIN32(ERROR_INVALID_STATE);

const std::pair<COREWEBVIEW2_PERMISSION_KIND, const char*> kind_names[] = {
    {COREWEBVIEW2_PERMISSION_KIND_UNKNOWN_PERMISSION, "unknown"},
    {COREWEBVIEW2_PERMISSION_KIND_MICROPHONE, "microphone"},
    {COREWEBVIEW2_PERMISSION_KIND_CAMERA, "camera"},
    {COREWEBVIEW2_PERMISSION_KIND_GEOLOCATION, "geolocation"},
    {COREWEBVIEW2_PERMISSION_KIND_NOTIFICATIONS, "notifications"},
    {COREWEBVIEW2_PERMISSION_KIND_OTHER_SENSORS, "other-sensors"},
    {COREWEBVIEW2_PERMISSION_KIND_CLIPBOARD_READ, "clipboard-read"},
    {COREWEBVIEW2_PERMISSION_KIND_MULTIPLE_AUTOMATIC_DOWNLOADS, "multiple-automatic-downloads"},
    {COREWEBVIEW2_PERMISSION_KIND_FILE_READ_WRITE, "file-read-write"},
    {COREWEBVIEW2_PERMISSION_KIND_AUTOPLAY, "autoplay"},
    {COREWEBVIEW2_PERMISSION_KIND_LOCAL_FONTS, "local-fonts"},
    {COREWEBVIEW2_PERMISSION_KIND_MIDI_SYSTEM_EXCLUSIVE_MESSAGES, "midi-sysex"},
    {COREWEBVIEW2_PERMISSION_KIND_WINDOW_MANAGEMENT, "window-management"},
};

std::map<std::pair<std::wstring, COREWEBVIEW2_PERMISSION_KIND>, COREWEBVIEW2_PERMISSION_STATE>& profile_permissions() {
	static std::map<std::pair<std::wstring, COREWEBVIEW2_PERMISSION_KIND>, COREWEBVIEW2_PERMISSION_STATE> states;
	return states;
}

HRESULT enter_args(HRESULT entered, const std::string& method) {
	if (FAILED(entered)) return entered;
	Engine::get().record_call("args." + method);
	return Engine::get().failure("args." + method);
}

HRESULT set_flag(BOOL* out, bool value) {
	if (out == nullptr) return E_POINTER;
	*out = value ? TRUE : FALSE;
	return S_OK;
}

// "http://127.0.0.1:37338/page" -> "http://127.0.0.1:37338/", as the engine writes origins.
std::wstring origin_of(const std::wstring& url) {
	size_t scheme = url.find(L"://");
	if (scheme == std::wstring::npos) return L"null";
	size_t path = url.find_first_of(L"/?#", scheme + 3);
	return url.substr(0, path) + L"/";
}

const char* state_name(COREWEBVIEW2_PERMISSION_STATE state) {
	return state == COREWEBVIEW2_PERMISSION_STATE_ALLOW ? "allowed" : state == COREWEBVIEW2_PERMISSION_STATE_DENY ? "denied" : "default";
}

} // namespace

std::string permission_kind_name(COREWEBVIEW2_PERMISSION_KIND kind) {
	for (auto& [named, name] : kind_names)
		if (named == kind) return name;
	return std::to_string(kind);
}

std::optional<COREWEBVIEW2_PERMISSION_KIND> permission_kind_named(const std::wstring& name) {
	for (auto& [kind, named] : kind_names)
		if (utf16(named) == name) return kind;
	return std::nullopt;
}

void forget_profile_permissions() { profile_permissions().clear(); }

HRESULT PermissionRequestedEventArgs::QueryInterface(REFIID iid, void** out) {
	if (out == nullptr) return E_POINTER;
	if (IsEqualIID(iid, IID_ICoreWebView2PermissionRequestedEventArgs) || IsEqualIID(iid, IID_ICoreWebView2PermissionRequestedEventArgs2)) {
		*out = static_cast<ICoreWebView2PermissionRequestedEventArgs3*>(this);
		AddRef();
		return S_OK;
	}
	return ComObject::QueryInterface(iid, out);
}

HRESULT PermissionRequestedEventArgs::get_Uri(LPWSTR* uri) {
	if (HRESULT hr = enter_args(enter("get_Uri"), "get_Uri"); FAILED(hr)) return hr;
	return hand_out(origin_, uri);
}

HRESULT PermissionRequestedEventArgs::get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* permissionKind) {
	if (HRESULT hr = enter_args(enter("get_PermissionKind"), "get_PermissionKind"); FAILED(hr)) return hr;
	if (permissionKind == nullptr) return E_POINTER;
	*permissionKind = kind_;
	return S_OK;
}

HRESULT PermissionRequestedEventArgs::get_IsUserInitiated(BOOL* isUserInitiated) {
	if (HRESULT hr = enter_args(enter("get_IsUserInitiated"), "get_IsUserInitiated"); FAILED(hr)) return hr;
	return set_flag(isUserInitiated, user_initiated_);
}

HRESULT PermissionRequestedEventArgs::get_State(COREWEBVIEW2_PERMISSION_STATE* state) {
	if (HRESULT hr = enter_args(enter("get_State"), "get_State"); FAILED(hr)) return hr;
	if (state == nullptr) return E_POINTER;
	*state = state_;
	return S_OK;
}

HRESULT PermissionRequestedEventArgs::put_State(COREWEBVIEW2_PERMISSION_STATE state) {
	if (HRESULT hr = enter_args(enter("put_State"), "put_State(" + std::to_string(state) + ")"); FAILED(hr)) return hr;
	if (state < COREWEBVIEW2_PERMISSION_STATE_DEFAULT || state > COREWEBVIEW2_PERMISSION_STATE_DENY) return E_INVALIDARG;
	if (decision_.open("put_State")) state_ = state;
	return S_OK;
}

HRESULT PermissionRequestedEventArgs::GetDeferral(ICoreWebView2Deferral** deferral) {
	if (HRESULT hr = enter_args(enter("GetDeferral"), "GetDeferral"); FAILED(hr)) return hr;
	return decision_.defer(deferral);
}

HRESULT PermissionRequestedEventArgs::get_Handled(BOOL* value) {
	if (HRESULT hr = enter_args(enter("get_Handled"), "get_Handled"); FAILED(hr)) return hr;
	return set_flag(value, handled_);
}

HRESULT PermissionRequestedEventArgs::put_Handled(BOOL value) {
	if (HRESULT hr = enter_args(enter("put_Handled"), "put_Handled(" + std::to_string(value) + ")"); FAILED(hr)) return hr;
	if (decision_.open("put_Handled")) handled_ = value ? TRUE : FALSE;
	return S_OK;
}

HRESULT PermissionRequestedEventArgs::get_SavesInProfile(BOOL* value) {
	if (HRESULT hr = enter_args(enter("get_SavesInProfile"), "get_SavesInProfile"); FAILED(hr)) return hr;
	return set_flag(value, saves_);
}

HRESULT PermissionRequestedEventArgs::put_SavesInProfile(BOOL value) {
	if (HRESULT hr = enter_args(enter("put_SavesInProfile"), "put_SavesInProfile(" + std::to_string(value) + ")"); FAILED(hr)) return hr;
	if (decision_.open("put_SavesInProfile")) saves_ = value ? TRUE : FALSE;
	return S_OK;
}

void Notification::page_close() {
	Engine::get().record_event("page closes notification " + logged(spec_.title));
	auto self = Ref<Notification>::share(this);
	Engine::get().post([self] {
		if (self->closed_) return;
		self->closed_ = true;
		for_each_registered(self->close_handlers_, [&](ICoreWebView2NotificationCloseRequestedEventHandler* handler) { handler->Invoke(self.get(), nullptr); });
	});
}

HRESULT Notification::add_CloseRequested(ICoreWebView2NotificationCloseRequestedEventHandler* eventHandler, EventRegistrationToken* token) {
	if (HRESULT hr = enter("add_CloseRequested"); FAILED(hr)) return hr;
	Engine::get().record_call("notification.add_CloseRequested");
	return add_registration(close_handlers_, eventHandler, IID_ICoreWebView2NotificationCloseRequestedEventHandler, "a CloseRequested handler", token);
}

HRESULT Notification::remove_CloseRequested(EventRegistrationToken token) {
	if (HRESULT hr = enter("remove_CloseRequested"); FAILED(hr)) return hr;
	Engine::get().record_call("notification.remove_CloseRequested");
	unregister(close_handlers_, token.value);
	return S_OK;
}

HRESULT Notification::report(const char* method, bool needs_shown, const char* page_event) {
	if (HRESULT hr = enter(method); FAILED(hr)) return hr;
	Engine::get().record_call(std::string("notification.") + method);
	if (HRESULT hr = Engine::get().failure(std::string("notification.") + method); FAILED(hr)) return hr;
	if (!handled_ || (needs_shown && !shown_)) return invalid_state;
	if (closed_) return S_OK;
	shown_ = true;
	Engine::get().record_event(std::string("page notification event ") + page_event + " " + logged(spec_.title));
	if (std::string_view(page_event) == "close") closed_ = true;
	return S_OK;
}

HRESULT Notification::ReportShown() { return report("ReportShown", false, "show"); }
HRESULT Notification::ReportClicked() { return report("ReportClicked", true, "click"); }
HRESULT Notification::ReportClosed() { return report("ReportClosed", true, "close"); }

HRESULT Notification::getter(const char* method) {
	if (HRESULT hr = enter(method); FAILED(hr)) return hr;
	Engine::get().record_call(std::string("notification.") + method);
	return Engine::get().failure(std::string("notification.") + method);
}

HRESULT Notification::get_Body(LPWSTR* value) {
	if (HRESULT hr = getter("get_Body"); FAILED(hr)) return hr;
	return hand_out(spec_.body, value);
}

HRESULT Notification::get_Direction(COREWEBVIEW2_TEXT_DIRECTION_KIND* value) {
	if (HRESULT hr = getter("get_Direction"); FAILED(hr)) return hr;
	if (value == nullptr) return E_POINTER;
	*value = COREWEBVIEW2_TEXT_DIRECTION_KIND_DEFAULT;
	return S_OK;
}

HRESULT Notification::get_Language(LPWSTR* value) {
	if (HRESULT hr = getter("get_Language"); FAILED(hr)) return hr;
	return hand_out(L"", value);
}

HRESULT Notification::get_Tag(LPWSTR* value) {
	if (HRESULT hr = getter("get_Tag"); FAILED(hr)) return hr;
	return hand_out(spec_.tag, value);
}

HRESULT Notification::get_IconUri(LPWSTR* value) {
	if (HRESULT hr = getter("get_IconUri"); FAILED(hr)) return hr;
	return hand_out(L"", value);
}

HRESULT Notification::get_Title(LPWSTR* value) {
	if (HRESULT hr = getter("get_Title"); FAILED(hr)) return hr;
	return hand_out(spec_.title, value);
}

HRESULT Notification::get_BadgeUri(LPWSTR* value) {
	if (HRESULT hr = getter("get_BadgeUri"); FAILED(hr)) return hr;
	return hand_out(L"", value);
}

HRESULT Notification::get_BodyImageUri(LPWSTR* value) {
	if (HRESULT hr = getter("get_BodyImageUri"); FAILED(hr)) return hr;
	return hand_out(L"", value);
}

HRESULT Notification::get_ShouldRenotify(BOOL* value) {
	if (HRESULT hr = getter("get_ShouldRenotify"); FAILED(hr)) return hr;
	return set_flag(value, false);
}

HRESULT Notification::get_RequiresInteraction(BOOL* value) {
	if (HRESULT hr = getter("get_RequiresInteraction"); FAILED(hr)) return hr;
	return set_flag(value, false);
}

HRESULT Notification::get_IsSilent(BOOL* value) {
	if (HRESULT hr = getter("get_IsSilent"); FAILED(hr)) return hr;
	return set_flag(value, spec_.silent);
}

HRESULT Notification::get_Timestamp(double* value) {
	if (HRESULT hr = getter("get_Timestamp"); FAILED(hr)) return hr;
	if (value == nullptr) return E_POINTER;
	*value = 0;
	return S_OK;
}

HRESULT Notification::GetVibrationPattern(UINT32* count, UINT64** vibrationPattern) {
	if (HRESULT hr = getter("GetVibrationPattern"); FAILED(hr)) return hr;
	if (count == nullptr || vibrationPattern == nullptr) return E_POINTER;
	*count = 0;
	*vibrationPattern = nullptr;
	return S_OK;
}

HRESULT NotificationReceivedEventArgs::get_SenderOrigin(LPWSTR* value) {
	if (HRESULT hr = enter_args(enter("get_SenderOrigin"), "get_SenderOrigin"); FAILED(hr)) return hr;
	return hand_out(origin_, value);
}

HRESULT NotificationReceivedEventArgs::get_Notification(ICoreWebView2Notification** value) {
	if (HRESULT hr = enter_args(enter("get_Notification"), "get_Notification"); FAILED(hr)) return hr;
	if (value == nullptr) return E_POINTER;
	*value = Ref<ICoreWebView2Notification>::share(notification_.get()).detach();
	return S_OK;
}

HRESULT NotificationReceivedEventArgs::put_Handled(BOOL value) {
	if (HRESULT hr = enter_args(enter("put_Handled"), "put_Handled(" + std::to_string(value) + ")"); FAILED(hr)) return hr;
	// Once TRUE it stays.
	if (!value && notification_->handled()) return E_INVALIDARG;
	if (value && decision_.open("put_Handled")) notification_->handle();
	return S_OK;
}

HRESULT NotificationReceivedEventArgs::get_Handled(BOOL* value) {
	if (HRESULT hr = enter_args(enter("get_Handled"), "get_Handled"); FAILED(hr)) return hr;
	return set_flag(value, notification_->handled());
}

HRESULT NotificationReceivedEventArgs::GetDeferral(ICoreWebView2Deferral** deferral) {
	if (HRESULT hr = enter_args(enter("GetDeferral"), "GetDeferral"); FAILED(hr)) return hr;
	return decision_.defer(deferral);
}

void WebView::page_request_permission(COREWEBVIEW2_PERMISSION_KIND kind, std::optional<std::wstring> origin, bool user_initiated) {
	Engine::get().record_event("page requests " + permission_kind_name(kind));
	Engine::get().post([this, kind, origin = std::move(origin), user_initiated] {
		if (!Engine::get().webview_open(this)) return;
		auto self = Ref<WebView>::share(this);
		std::wstring requester = origin ? *origin : origin_of(document_.source);
		std::string what = permission_kind_name(kind) + " for " + logged(requester);
		auto stored = profile_permissions().find({requester, kind});
		if (stored != profile_permissions().end()) {
			settle_permission(requester, kind, stored->second, "from the profile");
			return;
		}
		auto args = Ref<PermissionRequestedEventArgs>::adopt(new PermissionRequestedEventArgs(requester, kind, user_initiated));
		Engine::get().record_event("PermissionRequested " + what);
		for_each_registered(permission_handlers_, [&](ICoreWebView2PermissionRequestedEventHandler* handler) {
			if (!closed_) handler->Invoke(this, args.get());
		});
		args->decision().handlers_returned([self, args, requester, kind] {
			if (args->state() != COREWEBVIEW2_PERMISSION_STATE_DEFAULT && args->saves_in_profile()) profile_permissions()[{requester, kind}] = args->state();
			self->settle_permission(requester, kind, args->state(), args->saves_in_profile() ? "saved in the profile" : "not saved");
		});
	});
}

void WebView::settle_permission(const std::wstring& origin, COREWEBVIEW2_PERMISSION_KIND kind, COREWEBVIEW2_PERMISSION_STATE state, const char* how) {
	if (state == COREWEBVIEW2_PERMISSION_STATE_DEFAULT && kind != COREWEBVIEW2_PERMISSION_KIND_NOTIFICATIONS)
		Engine::get().record_event("permission prompt shown for " + permission_kind_name(kind));
	Engine::get().record_event("page permission " + permission_kind_name(kind) + " for " + logged(origin) + " " + state_name(state) + " (" + how + ")");
	if (kind != COREWEBVIEW2_PERMISSION_KIND_NOTIFICATIONS) return;
	if (state == COREWEBVIEW2_PERMISSION_STATE_ALLOW)
		notifications_granted_.push_back(origin);
	else
		std::erase(notifications_granted_, origin);
}

void WebView::page_notify(NotificationSpec spec) {
	Engine::get().record_event("page notifies " + logged(spec.title));
	Engine::get().post([this, spec = std::move(spec)] {
		if (!Engine::get().webview_open(this)) return;
		auto self = Ref<WebView>::share(this);
		std::wstring origin = origin_of(document_.source);
		if (std::find(notifications_granted_.begin(), notifications_granted_.end(), origin) == notifications_granted_.end()) {
			Engine::get().record_event("page notification refused: notifications not granted to " + logged(origin));
			return;
		}
		auto notification = Ref<Notification>::adopt(new Notification(spec));
		last_notification_ = notification;
		auto args = Ref<NotificationReceivedEventArgs>::adopt(new NotificationReceivedEventArgs(origin, notification));
		Engine::get().record_event("NotificationReceived " + logged(spec.title));
		for_each_registered(notification_handlers_, [&](ICoreWebView2NotificationReceivedEventHandler* handler) {
			if (!closed_) handler->Invoke(this, args.get());
		});
		args->decision().handlers_returned([notification, title = spec.title] {
			if (!notification->handled()) Engine::get().record_event("engine notification shown " + logged(title));
		});
	});
}

void WebView::page_close_notification() {
	if (last_notification_) last_notification_->page_close();
}

HRESULT WebView::add_PermissionRequested(ICoreWebView2PermissionRequestedEventHandler* eventHandler, EventRegistrationToken* token) {
	if (HRESULT hr = call("add_PermissionRequested"); FAILED(hr)) return hr;
	return add_registration(permission_handlers_, eventHandler, IID_ICoreWebView2PermissionRequestedEventHandler, "a PermissionRequested handler", token);
}

HRESULT WebView::remove_PermissionRequested(EventRegistrationToken token) {
	if (HRESULT hr = call("remove_PermissionRequested"); FAILED(hr)) return hr;
	unregister(permission_handlers_, token.value);
	return S_OK;
}

HRESULT WebView::add_NotificationReceived(ICoreWebView2NotificationReceivedEventHandler* eventHandler, EventRegistrationToken* token) {
	if (HRESULT hr = call("add_NotificationReceived"); FAILED(hr)) return hr;
	return add_registration(notification_handlers_, eventHandler, IID_ICoreWebView2NotificationReceivedEventHandler, "a NotificationReceived handler", token);
}

HRESULT WebView::remove_NotificationReceived(EventRegistrationToken token) {
	if (HRESULT hr = call("remove_NotificationReceived"); FAILED(hr)) return hr;
	unregister(notification_handlers_, token.value);
	return S_OK;
}

} // namespace standin
