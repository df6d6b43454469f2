// The engine's permission and web notification interfaces, declared by hand like the rest of
// webview2_abi.hpp: same order and slots as the SDK's (1.0.3351.48).
#pragma once

#include "core/browser_window/edge2/webview2_abi.hpp"

enum COREWEBVIEW2_PERMISSION_KIND : int {
	COREWEBVIEW2_PERMISSION_KIND_UNKNOWN_PERMISSION = 0,
	COREWEBVIEW2_PERMISSION_KIND_MICROPHONE = 1,
	COREWEBVIEW2_PERMISSION_KIND_CAMERA = 2,
	COREWEBVIEW2_PERMISSION_KIND_GEOLOCATION = 3,
	COREWEBVIEW2_PERMISSION_KIND_NOTIFICATIONS = 4,
	COREWEBVIEW2_PERMISSION_KIND_OTHER_SENSORS = 5,
	COREWEBVIEW2_PERMISSION_KIND_CLIPBOARD_READ = 6,
	COREWEBVIEW2_PERMISSION_KIND_MULTIPLE_AUTOMATIC_DOWNLOADS = 7,
	COREWEBVIEW2_PERMISSION_KIND_FILE_READ_WRITE = 8,
	COREWEBVIEW2_PERMISSION_KIND_AUTOPLAY = 9,
	COREWEBVIEW2_PERMISSION_KIND_LOCAL_FONTS = 10,
	COREWEBVIEW2_PERMISSION_KIND_MIDI_SYSTEM_EXCLUSIVE_MESSAGES = 11,
	COREWEBVIEW2_PERMISSION_KIND_WINDOW_MANAGEMENT = 12,
};

enum COREWEBVIEW2_PERMISSION_STATE : int {
	COREWEBVIEW2_PERMISSION_STATE_DEFAULT = 0,
	COREWEBVIEW2_PERMISSION_STATE_ALLOW = 1,
	COREWEBVIEW2_PERMISSION_STATE_DENY = 2,
};

enum COREWEBVIEW2_TEXT_DIRECTION_KIND : int {
	COREWEBVIEW2_TEXT_DIRECTION_KIND_DEFAULT = 0,
	COREWEBVIEW2_TEXT_DIRECTION_KIND_LEFT_TO_RIGHT = 1,
	COREWEBVIEW2_TEXT_DIRECTION_KIND_RIGHT_TO_LEFT = 2,
};

struct ICoreWebView2Notification;
struct ICoreWebView2NotificationReceivedEventArgs;
struct ICoreWebView2PermissionRequestedEventArgs;

inline constexpr IID IID_ICoreWebView2PermissionRequestedEventArgs{0x973ae2ef, 0xff18, 0x4894, {0x8f, 0xb2, 0x3c, 0x75, 0x8f, 0x04, 0x68, 0x10}};
inline constexpr IID IID_ICoreWebView2PermissionRequestedEventArgs2{0x74d7127f, 0x9de6, 0x4200, {0x87, 0x34, 0x42, 0xd6, 0xfb, 0x4f, 0xf7, 0x41}};
inline constexpr IID IID_ICoreWebView2PermissionRequestedEventArgs3{0xe61670bc, 0x3dce, 0x4177, {0x86, 0xd2, 0xc6, 0x29, 0xae, 0x3c, 0xb6, 0xac}};
inline constexpr IID IID_ICoreWebView2PermissionRequestedEventHandler{0x15e1c6a3, 0xc72a, 0x4df3, {0x91, 0xd7, 0xd0, 0x97, 0xfb, 0xec, 0x6b, 0xfd}};
inline constexpr IID IID_ICoreWebView2_24{0x39a7ad55, 0x4287, 0x5cc1, {0x88, 0xa1, 0xc6, 0xf4, 0x58, 0x59, 0x38, 0x24}};
inline constexpr IID IID_ICoreWebView2NotificationReceivedEventArgs{0x1512DD5B, 0x5514, 0x4F85, {0x88, 0x6E, 0x21, 0xC3, 0xA4, 0xC9, 0xCF, 0xE6}};
inline constexpr IID IID_ICoreWebView2Notification{0xB7434D98, 0x6BC8, 0x419D, {0x9D, 0xA5, 0xFB, 0x5A, 0x96, 0xD4, 0xDA, 0xCD}};
inline constexpr IID IID_ICoreWebView2NotificationReceivedEventHandler{0x89c5d598, 0x8788, 0x423b, {0xbe, 0x97, 0xe6, 0xe0, 0x1c, 0x0f, 0x9e, 0xe3}};
inline constexpr IID IID_ICoreWebView2NotificationCloseRequestedEventHandler{
    0x47c32d23, 0x1e94, 0x4733, {0x85, 0xf1, 0xd9, 0xbf, 0x4a, 0xcd, 0x09, 0x74}};

struct ICoreWebView2PermissionRequestedEventHandler : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender, ICoreWebView2PermissionRequestedEventArgs* args) = 0;
};

// Lent to the handler. get_Uri is the requesting origin, not the whole address.
struct ICoreWebView2PermissionRequestedEventArgs : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* permissionKind) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_State(COREWEBVIEW2_PERMISSION_STATE* state) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_State(COREWEBVIEW2_PERMISSION_STATE state) = 0;
	virtual HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) = 0;
};

struct ICoreWebView2PermissionRequestedEventArgs2 : public ICoreWebView2PermissionRequestedEventArgs {
	virtual HRESULT STDMETHODCALLTYPE get_Handled(BOOL* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_Handled(BOOL value) = 0;
};

// SavesInProfile is TRUE by default: the state set is kept in the profile for later requests.
struct ICoreWebView2PermissionRequestedEventArgs3 : public ICoreWebView2PermissionRequestedEventArgs2 {
	virtual HRESULT STDMETHODCALLTYPE get_SavesInProfile(BOOL* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_SavesInProfile(BOOL value) = 0;
};

struct ICoreWebView2NotificationReceivedEventHandler : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender, ICoreWebView2NotificationReceivedEventArgs* args) = 0;
};

// The sender is the notification; args is a bare IUnknown.
struct ICoreWebView2NotificationCloseRequestedEventHandler : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2Notification* sender, IUnknown* args) = 0;
};

// put_Handled comes before get_Handled.
struct ICoreWebView2NotificationReceivedEventArgs : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE get_SenderOrigin(LPWSTR* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_Notification(ICoreWebView2Notification** value) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_Handled(BOOL value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_Handled(BOOL* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) = 0;
};

// The event and the reports come first (slots 3 to 7), the getters after.
struct ICoreWebView2Notification : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE add_CloseRequested(ICoreWebView2NotificationCloseRequestedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_CloseRequested(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE ReportShown() = 0;
	virtual HRESULT STDMETHODCALLTYPE ReportClicked() = 0;
	virtual HRESULT STDMETHODCALLTYPE ReportClosed() = 0;
	virtual HRESULT STDMETHODCALLTYPE get_Body(LPWSTR* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_Direction(COREWEBVIEW2_TEXT_DIRECTION_KIND* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_Language(LPWSTR* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_Tag(LPWSTR* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_IconUri(LPWSTR* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_Title(LPWSTR* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_BadgeUri(LPWSTR* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_BodyImageUri(LPWSTR* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_ShouldRenotify(BOOL* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_RequiresInteraction(BOOL* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_IsSilent(BOOL* value) = 0;
	// Milliseconds since the Unix epoch.
	virtual HRESULT STDMETHODCALLTYPE get_Timestamp(double* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE GetVibrationPattern(UINT32* count, UINT64** vibrationPattern) = 0;
};

// ICoreWebView2_22 (slots 123 and 124) and _23 (slot 125) hold nothing used here, but their slots
// come before _24's. Queried at run time: older runtimes answer E_NOINTERFACE.
struct ICoreWebView2_24 : public ICoreWebView2_21 {
	BW_WEBVIEW2_PLACEHOLDER(123)
	BW_WEBVIEW2_PLACEHOLDER(124)
	BW_WEBVIEW2_PLACEHOLDER(125)
	// Slots 126 and 127.
	virtual HRESULT STDMETHODCALLTYPE add_NotificationReceived(ICoreWebView2NotificationReceivedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_NotificationReceived(EventRegistrationToken token) = 0;
};
