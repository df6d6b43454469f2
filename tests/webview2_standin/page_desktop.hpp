// Permission requests and web notifications of a page, as the SDK documents them.
//
// PermissionRequested: the handlers' State is read once they have all returned (or every deferral
// taken completed). DEFAULT leaves the engine's own handling: a prompt for most kinds (the trace
// says "permission prompt shown"), none for notifications, which stay refused. A state set while
// SavesInProfile is TRUE (its default) is kept in the profile: later requests of that origin and
// kind get it without the event.
//
// NotificationReceived: only for a page whose origin was granted notifications. Handled, once TRUE,
// stays TRUE; without it the engine shows the notification itself ("engine notification shown").
// ReportShown, ReportClicked and ReportClosed fail with ERROR_INVALID_STATE unless Handled, the last
// two also before ReportShown; each fires the page's event ("page notification event show", ...).
// The page's close() raises CloseRequested with the notification as sender and no arguments.
#pragma once

#include "engine.hpp"
#include "event_args.hpp"

#include "core/browser_window/edge2/webview2_abi_page_desktop.hpp"

#include <optional>
#include <string>
#include <vector>

namespace standin {

// The names page actions and the trace use: "notifications", "camera", ...
std::string permission_kind_name(COREWEBVIEW2_PERMISSION_KIND kind);
std::optional<COREWEBVIEW2_PERMISSION_KIND> permission_kind_named(const std::wstring& name);

// The profile's stored permission states; forgotten on reset.
void forget_profile_permissions();

class PermissionRequestedEventArgs final
    : public ComObject<ICoreWebView2PermissionRequestedEventArgs3, IID_ICoreWebView2PermissionRequestedEventArgs3> {
public:
	PermissionRequestedEventArgs(std::wstring origin, COREWEBVIEW2_PERMISSION_KIND kind, bool user_initiated)
	    : ComObject("PermissionRequestedEventArgs"), origin_(std::move(origin)), kind_(kind), user_initiated_(user_initiated) {}

	Decision& decision() { return decision_; }
	COREWEBVIEW2_PERMISSION_STATE state() const { return state_; }
	bool saves_in_profile() const { return saves_; }

	HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
	HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override;
	HRESULT STDMETHODCALLTYPE get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* permissionKind) override;
	HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) override;
	HRESULT STDMETHODCALLTYPE get_State(COREWEBVIEW2_PERMISSION_STATE* state) override;
	HRESULT STDMETHODCALLTYPE put_State(COREWEBVIEW2_PERMISSION_STATE state) override;
	HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override;
	HRESULT STDMETHODCALLTYPE get_Handled(BOOL* value) override;
	HRESULT STDMETHODCALLTYPE put_Handled(BOOL value) override;
	HRESULT STDMETHODCALLTYPE get_SavesInProfile(BOOL* value) override;
	HRESULT STDMETHODCALLTYPE put_SavesInProfile(BOOL value) override;

private:
	std::wstring origin_;
	COREWEBVIEW2_PERMISSION_KIND kind_;
	bool user_initiated_;
	COREWEBVIEW2_PERMISSION_STATE state_ = COREWEBVIEW2_PERMISSION_STATE_DEFAULT;
	BOOL handled_ = FALSE;
	BOOL saves_ = TRUE;
	Decision decision_{"PermissionRequested"};
};

struct NotificationSpec {
	std::wstring title;
	std::wstring body;
	std::wstring tag;
	bool silent = false;
};

class Notification final : public ComObject<ICoreWebView2Notification, IID_ICoreWebView2Notification> {
public:
	explicit Notification(NotificationSpec spec) : ComObject("Notification"), spec_(std::move(spec)) {}

	void handle() { handled_ = true; }
	bool handled() const { return handled_; }
	// The page closes it: CloseRequested, later.
	void page_close();

	HRESULT STDMETHODCALLTYPE add_CloseRequested(ICoreWebView2NotificationCloseRequestedEventHandler* eventHandler, EventRegistrationToken* token) override;
	HRESULT STDMETHODCALLTYPE remove_CloseRequested(EventRegistrationToken token) override;
	HRESULT STDMETHODCALLTYPE ReportShown() override;
	HRESULT STDMETHODCALLTYPE ReportClicked() override;
	HRESULT STDMETHODCALLTYPE ReportClosed() override;
	HRESULT STDMETHODCALLTYPE get_Body(LPWSTR* value) override;
	HRESULT STDMETHODCALLTYPE get_Direction(COREWEBVIEW2_TEXT_DIRECTION_KIND* value) override;
	HRESULT STDMETHODCALLTYPE get_Language(LPWSTR* value) override;
	HRESULT STDMETHODCALLTYPE get_Tag(LPWSTR* value) override;
	HRESULT STDMETHODCALLTYPE get_IconUri(LPWSTR* value) override;
	HRESULT STDMETHODCALLTYPE get_Title(LPWSTR* value) override;
	HRESULT STDMETHODCALLTYPE get_BadgeUri(LPWSTR* value) override;
	HRESULT STDMETHODCALLTYPE get_BodyImageUri(LPWSTR* value) override;
	HRESULT STDMETHODCALLTYPE get_ShouldRenotify(BOOL* value) override;
	HRESULT STDMETHODCALLTYPE get_RequiresInteraction(BOOL* value) override;
	HRESULT STDMETHODCALLTYPE get_IsSilent(BOOL* value) override;
	HRESULT STDMETHODCALLTYPE get_Timestamp(double* value) override;
	HRESULT STDMETHODCALLTYPE GetVibrationPattern(UINT32* count, UINT64** vibrationPattern) override;

private:
	HRESULT report(const char* method, bool needs_shown, const char* page_event);
	HRESULT getter(const char* method);
	void on_final_release() override { close_handlers_.clear(); }

	NotificationSpec spec_;
	bool handled_ = false;
	bool shown_ = false;
	bool closed_ = false;
	struct CloseRegistration {
		int64_t token;
		Ref<ICoreWebView2NotificationCloseRequestedEventHandler> handler;
	};
	std::vector<CloseRegistration> close_handlers_;
};

class NotificationReceivedEventArgs final
    : public ComObject<ICoreWebView2NotificationReceivedEventArgs, IID_ICoreWebView2NotificationReceivedEventArgs> {
public:
	NotificationReceivedEventArgs(std::wstring origin, Ref<Notification> notification)
	    : ComObject("NotificationReceivedEventArgs"), origin_(std::move(origin)), notification_(std::move(notification)) {}

	Decision& decision() { return decision_; }

	HRESULT STDMETHODCALLTYPE get_SenderOrigin(LPWSTR* value) override;
	HRESULT STDMETHODCALLTYPE get_Notification(ICoreWebView2Notification** value) override;
	HRESULT STDMETHODCALLTYPE put_Handled(BOOL value) override;
	HRESULT STDMETHODCALLTYPE get_Handled(BOOL* value) override;
	HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override;

private:
	void on_final_release() override { notification_.reset(); }

	std::wstring origin_;
	Ref<Notification> notification_;
	Decision decision_{"NotificationReceived"};
};

} // namespace standin
