// The part of the WebView2 COM ABI that the edge2 binding and its test engine use, declared here
// because the SDK header is not available to the cross build. Only the slot order, the IIDs and the
// parameter types matter to the ABI; every method keeps its slot even when nobody calls it.
#pragma once

#include <windows.h>

#include <eventtoken.h>
#include <oaidl.h>
#include <objbase.h>

// Interfaces that only appear as parameter types of methods nobody here calls.
struct ICoreWebView2AcceleratorKeyPressedEventHandler;
struct ICoreWebView2BytesReceivedChangedEventHandler;
struct ICoreWebView2CallDevToolsProtocolMethodCompletedHandler;
struct ICoreWebView2CapturePreviewCompletedHandler;
struct ICoreWebView2ContainsFullScreenElementChangedEventHandler;
struct ICoreWebView2ContentLoadingEventHandler;
struct ICoreWebView2DevToolsProtocolEventReceiver;
struct ICoreWebView2DocumentTitleChangedEventHandler;
struct ICoreWebView2EstimatedEndTimeChangedEventHandler;
struct ICoreWebView2FocusChangedEventHandler;
struct ICoreWebView2FrameCreatedEventHandler;
struct ICoreWebView2FrameInfoCollection;
struct ICoreWebView2HistoryChangedEventHandler;
struct ICoreWebView2HttpRequestHeaders;
struct ICoreWebView2MoveFocusRequestedEventHandler;
struct ICoreWebView2NewBrowserVersionAvailableEventHandler;
struct ICoreWebView2PermissionRequestedEventHandler;
struct ICoreWebView2ScriptDialogOpeningEventHandler;
struct ICoreWebView2SourceChangedEventHandler;
struct ICoreWebView2WebResourceRequestedEventHandler;
struct ICoreWebView2WebResourceResponse;
struct ICoreWebView2WindowCloseRequestedEventHandler;
struct ICoreWebView2WindowFeatures;

struct ICoreWebView2;
struct ICoreWebView2Controller;
struct ICoreWebView2Deferral;
struct ICoreWebView2DownloadOperation;
struct ICoreWebView2DownloadStartingEventArgs;
struct ICoreWebView2Environment;
struct ICoreWebView2ExecuteScriptResult;
struct ICoreWebView2NavigationCompletedEventArgs;
struct ICoreWebView2NavigationStartingEventArgs;
struct ICoreWebView2NewWindowRequestedEventArgs;
struct ICoreWebView2ProcessFailedEventArgs;
struct ICoreWebView2ScriptException;
struct ICoreWebView2Settings;
struct ICoreWebView2WebMessageReceivedEventArgs;

// The engine's enums are 32-bit ints.
enum COREWEBVIEW2_WEB_ERROR_STATUS : int {
	COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN = 0,
	COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_COMMON_NAME_IS_INCORRECT = 1,
	COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_EXPIRED = 2,
	COREWEBVIEW2_WEB_ERROR_STATUS_CLIENT_CERTIFICATE_CONTAINS_ERRORS = 3,
	COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_REVOKED = 4,
	COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_IS_INVALID = 5,
	COREWEBVIEW2_WEB_ERROR_STATUS_SERVER_UNREACHABLE = 6,
	COREWEBVIEW2_WEB_ERROR_STATUS_TIMEOUT = 7,
	COREWEBVIEW2_WEB_ERROR_STATUS_ERROR_HTTP_INVALID_SERVER_RESPONSE = 8,
	COREWEBVIEW2_WEB_ERROR_STATUS_CONNECTION_ABORTED = 9,
	COREWEBVIEW2_WEB_ERROR_STATUS_CONNECTION_RESET = 10,
	COREWEBVIEW2_WEB_ERROR_STATUS_DISCONNECTED = 11,
	COREWEBVIEW2_WEB_ERROR_STATUS_CANNOT_CONNECT = 12,
	COREWEBVIEW2_WEB_ERROR_STATUS_HOST_NAME_NOT_RESOLVED = 13,
	COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED = 14,
	COREWEBVIEW2_WEB_ERROR_STATUS_REDIRECT_FAILED = 15,
	COREWEBVIEW2_WEB_ERROR_STATUS_UNEXPECTED_ERROR = 16,
	COREWEBVIEW2_WEB_ERROR_STATUS_VALID_AUTHENTICATION_CREDENTIALS_REQUIRED = 17,
	COREWEBVIEW2_WEB_ERROR_STATUS_VALID_PROXY_AUTHENTICATION_REQUIRED = 18,
};

// Which dialog ShowPrintUI opens: the browser's print preview or the system's print dialog.
enum COREWEBVIEW2_PRINT_DIALOG_KIND : int {
	COREWEBVIEW2_PRINT_DIALOG_KIND_BROWSER = 0,
	COREWEBVIEW2_PRINT_DIALOG_KIND_SYSTEM = 1,
};

enum COREWEBVIEW2_MOVE_FOCUS_REASON : int {
	COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC = 0,
	COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT = 1,
	COREWEBVIEW2_MOVE_FOCUS_REASON_PREVIOUS = 2,
};

enum COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT : int {
	COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_PNG = 0,
	COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_JPEG = 1,
};

// Values 0 (all) to 16 (other); only the two ends are named here.
enum COREWEBVIEW2_WEB_RESOURCE_CONTEXT : int {
	COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL = 0,
	COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER = 16,
};

enum COREWEBVIEW2_PROCESS_FAILED_KIND : int {
	COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED = 0,
	COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED = 1,
	COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE = 2,
	COREWEBVIEW2_PROCESS_FAILED_KIND_FRAME_RENDER_PROCESS_EXITED = 3,
	COREWEBVIEW2_PROCESS_FAILED_KIND_UTILITY_PROCESS_EXITED = 4,
	COREWEBVIEW2_PROCESS_FAILED_KIND_SANDBOX_HELPER_PROCESS_EXITED = 5,
	COREWEBVIEW2_PROCESS_FAILED_KIND_GPU_PROCESS_EXITED = 6,
	COREWEBVIEW2_PROCESS_FAILED_KIND_PPAPI_PLUGIN_PROCESS_EXITED = 7,
	COREWEBVIEW2_PROCESS_FAILED_KIND_PPAPI_BROKER_PROCESS_EXITED = 8,
	COREWEBVIEW2_PROCESS_FAILED_KIND_UNKNOWN_PROCESS_EXITED = 9,
};

enum COREWEBVIEW2_PROCESS_FAILED_REASON : int {
	COREWEBVIEW2_PROCESS_FAILED_REASON_UNEXPECTED = 0,
	COREWEBVIEW2_PROCESS_FAILED_REASON_UNRESPONSIVE = 1,
	COREWEBVIEW2_PROCESS_FAILED_REASON_TERMINATED = 2,
	COREWEBVIEW2_PROCESS_FAILED_REASON_CRASHED = 3,
	COREWEBVIEW2_PROCESS_FAILED_REASON_LAUNCH_FAILED = 4,
	COREWEBVIEW2_PROCESS_FAILED_REASON_OUT_OF_MEMORY = 5,
	COREWEBVIEW2_PROCESS_FAILED_REASON_PROFILE_DELETED = 6,
};

enum COREWEBVIEW2_DOWNLOAD_STATE : int {
	COREWEBVIEW2_DOWNLOAD_STATE_IN_PROGRESS = 0,
	COREWEBVIEW2_DOWNLOAD_STATE_INTERRUPTED = 1,
	COREWEBVIEW2_DOWNLOAD_STATE_COMPLETED = 2,
};

enum COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON : int {
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_NONE = 0,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_FAILED = 1,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_ACCESS_DENIED = 2,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_NO_SPACE = 3,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_NAME_TOO_LONG = 4,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_TOO_LARGE = 5,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_MALICIOUS = 6,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_TRANSIENT_ERROR = 7,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_BLOCKED_BY_POLICY = 8,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_SECURITY_CHECK_FAILED = 9,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_TOO_SHORT = 10,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_FILE_HASH_MISMATCH = 11,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_NETWORK_FAILED = 12,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_NETWORK_TIMEOUT = 13,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_NETWORK_DISCONNECTED = 14,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_NETWORK_SERVER_DOWN = 15,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_NETWORK_INVALID_REQUEST = 16,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_SERVER_FAILED = 17,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_SERVER_NO_RANGE = 18,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_SERVER_BAD_CONTENT = 19,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_SERVER_UNAUTHORIZED = 20,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_SERVER_CERTIFICATE_PROBLEM = 21,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_SERVER_FORBIDDEN = 22,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_SERVER_UNEXPECTED_RESPONSE = 23,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_SERVER_CONTENT_LENGTH_MISMATCH = 24,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_SERVER_CROSS_ORIGIN_REDIRECT = 25,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_USER_CANCELED = 26,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_USER_SHUTDOWN = 27,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_USER_PAUSED = 28,
	COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_DOWNLOAD_PROCESS_CRASHED = 29,
};

// Alpha first; four bytes passed by value.
struct COREWEBVIEW2_COLOR {
	BYTE A;
	BYTE R;
	BYTE G;
	BYTE B;
};

inline constexpr IID IID_ICoreWebView2Environment{0xb96d755e, 0x0319, 0x4e92, {0xa2, 0x96, 0x23, 0x43, 0x6f, 0x46, 0xa1, 0xfc}};
inline constexpr IID IID_ICoreWebView2Controller{0x4d00c0d1, 0x9434, 0x4eb6, {0x80, 0x78, 0x86, 0x97, 0xa5, 0x60, 0x33, 0x4f}};
inline constexpr IID IID_ICoreWebView2{0x76eceacb, 0x0462, 0x4d94, {0xac, 0x83, 0x42, 0x3a, 0x67, 0x93, 0x77, 0x5e}};
inline constexpr IID IID_ICoreWebView2Settings{0xe562e4f0, 0xd7fa, 0x43ac, {0x8d, 0x71, 0xc0, 0x51, 0x50, 0x49, 0x9f, 0x00}};
inline constexpr IID IID_ICoreWebView2EnvironmentOptions{0x2fde08a8, 0x1e9a, 0x4766, {0x8c, 0x05, 0x95, 0xa9, 0xce, 0xb9, 0xd1, 0xc5}};
inline constexpr IID IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler{
    0x4e8a3389, 0xc9d8, 0x4bd2, {0xb6, 0xb5, 0x12, 0x4f, 0xee, 0x6c, 0xc1, 0x4d}};
inline constexpr IID IID_ICoreWebView2CreateCoreWebView2ControllerCompletedHandler{
    0x6c4819f3, 0xc9b7, 0x4260, {0x81, 0x27, 0xc9, 0xf5, 0xbd, 0xe7, 0xf6, 0x8c}};
inline constexpr IID IID_ICoreWebView2NavigationCompletedEventHandler{
    0xd33a35bf, 0x1c49, 0x4f98, {0x93, 0xab, 0x00, 0x6e, 0x05, 0x33, 0xfe, 0x1c}};
inline constexpr IID IID_ICoreWebView2ExecuteScriptCompletedHandler{
    0x49511172, 0xcc67, 0x4bca, {0x99, 0x23, 0x13, 0x71, 0x12, 0xf4, 0xc4, 0xcc}};
inline constexpr IID IID_ICoreWebView2WebMessageReceivedEventHandler{
    0x57213f19, 0x00e6, 0x49fa, {0x8e, 0x07, 0x89, 0x8e, 0xa0, 0x1e, 0xcb, 0xd2}};
inline constexpr IID IID_ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler{
    0xb99369f3, 0x9b11, 0x47b5, {0xbc, 0x6f, 0x8e, 0x78, 0x95, 0xfc, 0xea, 0x17}};
inline constexpr IID IID_ICoreWebView2_16{0x0eb34dc9, 0x9f91, 0x41e1, {0x86, 0x39, 0x95, 0xcd, 0x59, 0x43, 0x90, 0x6b}};
inline constexpr IID IID_ICoreWebView2_21{0xc4980dea, 0x587b, 0x43b9, {0x81, 0x43, 0x3e, 0xf3, 0xbf, 0x55, 0x2d, 0x95}};
inline constexpr IID IID_ICoreWebView2ExecuteScriptWithResultCompletedHandler{
    0x1bb5317b, 0x8238, 0x4c67, {0xa7, 0xff, 0xba, 0xf6, 0x55, 0x8f, 0x28, 0x9d}};
inline constexpr IID IID_ICoreWebView2ExecuteScriptResult{0x0ce15963, 0x3698, 0x4df7, {0x93, 0x99, 0x71, 0xed, 0x6c, 0xdd, 0x8c, 0x9f}};
inline constexpr IID IID_ICoreWebView2ScriptException{0x054dae00, 0x84a3, 0x49ff, {0xbc, 0x17, 0x40, 0x12, 0xa9, 0x0b, 0xc9, 0xfd}};
inline constexpr IID IID_ICoreWebView2NavigationCompletedEventArgs{
    0x30d68b7d, 0x20d9, 0x4752, {0xa9, 0xca, 0xec, 0x84, 0x48, 0xfb, 0xb5, 0xc1}};
inline constexpr IID IID_ICoreWebView2WebMessageReceivedEventArgs{
    0x0f99a40c, 0xe962, 0x4207, {0x9e, 0x92, 0xe3, 0xd5, 0x42, 0xef, 0xf8, 0x49}};

inline constexpr IID IID_ICoreWebView2_4{0x20d02d59, 0x6df2, 0x42dc, {0xbd, 0x06, 0xf9, 0x8a, 0x69, 0x4b, 0x13, 0x02}};
inline constexpr IID IID_ICoreWebView2Controller2{0xc979903e, 0xd4ca, 0x4228, {0x92, 0xeb, 0x47, 0xee, 0x3f, 0xa9, 0x6e, 0xab}};
inline constexpr IID IID_ICoreWebView2NavigationStartingEventArgs{
    0x5b495469, 0xe119, 0x438a, {0x9b, 0x18, 0x76, 0x04, 0xf2, 0x5f, 0x2e, 0x49}};
inline constexpr IID IID_ICoreWebView2NewWindowRequestedEventArgs{
    0x34acb11c, 0xfc37, 0x4418, {0x91, 0x32, 0xf9, 0xc2, 0x1d, 0x1e, 0xaf, 0xb9}};
inline constexpr IID IID_ICoreWebView2ProcessFailedEventArgs{0x8155a9a4, 0x1474, 0x4a86, {0x8c, 0xae, 0x15, 0x1b, 0x0f, 0xa6, 0xb8, 0xca}};
inline constexpr IID IID_ICoreWebView2ProcessFailedEventArgs2{0x4dab9422, 0x46fa, 0x4c3e, {0xa5, 0xd2, 0x41, 0xd2, 0x07, 0x1d, 0x36, 0x80}};
inline constexpr IID IID_ICoreWebView2DownloadStartingEventArgs{
    0xe99bbe21, 0x43e9, 0x4544, {0xa7, 0x32, 0x28, 0x27, 0x64, 0xea, 0xfa, 0x60}};
inline constexpr IID IID_ICoreWebView2DownloadOperation{0x3d6b6cf2, 0xafe1, 0x44c7, {0xa9, 0x95, 0xc6, 0x51, 0x17, 0x71, 0x43, 0x36}};
inline constexpr IID IID_ICoreWebView2Deferral{0xc10e7f7b, 0xb585, 0x46f0, {0xa6, 0x23, 0x8b, 0xef, 0xbf, 0x3e, 0x4e, 0xe0}};
inline constexpr IID IID_ICoreWebView2NavigationStartingEventHandler{
    0x9adbe429, 0xf36d, 0x432b, {0x9d, 0xdc, 0xf8, 0x88, 0x1f, 0xbd, 0x76, 0xe3}};
inline constexpr IID IID_ICoreWebView2NewWindowRequestedEventHandler{
    0xd4c185fe, 0xc81c, 0x4989, {0x97, 0xaf, 0x2d, 0x3f, 0xa7, 0xab, 0x56, 0x51}};
inline constexpr IID IID_ICoreWebView2ProcessFailedEventHandler{
    0x79e0aea4, 0x990b, 0x42d9, {0xaa, 0x1d, 0x0f, 0xcc, 0x2e, 0x5b, 0xc7, 0xf1}};
inline constexpr IID IID_ICoreWebView2DownloadStartingEventHandler{
    0xefedc989, 0xc396, 0x41ca, {0x83, 0xf7, 0x07, 0xf8, 0x45, 0xa5, 0x57, 0x24}};
inline constexpr IID IID_ICoreWebView2StateChangedEventHandler{
    0x81336594, 0x7ede, 0x4ba9, {0xbf, 0x71, 0xac, 0xf0, 0xa9, 0x5b, 0x58, 0xdd}};
// Not in the fact sheet the rest is declared from (it gives the event's slots, not its handler):
// the SDK's published value, unchecked against a header here.
inline constexpr IID IID_ICoreWebView2ZoomFactorChangedEventHandler{
    0xb52d71d6, 0xc4df, 0x4543, {0xa9, 0x0c, 0x64, 0xa3, 0xe6, 0x0f, 0x38, 0xcb}};

// Completion and event handlers: implemented by the caller, invoked by the engine.

struct ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE Invoke(HRESULT errorCode, ICoreWebView2Environment* result) = 0;
};

struct ICoreWebView2CreateCoreWebView2ControllerCompletedHandler : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE Invoke(HRESULT errorCode, ICoreWebView2Controller* result) = 0;
};

struct ICoreWebView2NavigationCompletedEventHandler : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender, ICoreWebView2NavigationCompletedEventArgs* args) = 0;
};

// result is the script's value as JSON text, owned by the engine.
struct ICoreWebView2ExecuteScriptCompletedHandler : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE Invoke(HRESULT errorCode, LPCWSTR result) = 0;
};

// result is lent for the call.
struct ICoreWebView2ExecuteScriptWithResultCompletedHandler : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE Invoke(HRESULT errorCode, ICoreWebView2ExecuteScriptResult* result) = 0;
};

struct ICoreWebView2WebMessageReceivedEventHandler : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender, ICoreWebView2WebMessageReceivedEventArgs* args) = 0;
};

// result is the id of the added script, owned by the engine.
struct ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE Invoke(HRESULT errorCode, LPCWSTR result) = 0;
};

// Cancel must be set before Invoke returns: the navigation waits only for the handlers.
struct ICoreWebView2NavigationStartingEventHandler : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender, ICoreWebView2NavigationStartingEventArgs* args) = 0;
};

struct ICoreWebView2NewWindowRequestedEventHandler : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender, ICoreWebView2NewWindowRequestedEventArgs* args) = 0;
};

struct ICoreWebView2ProcessFailedEventHandler : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender, ICoreWebView2ProcessFailedEventArgs* args) = 0;
};

struct ICoreWebView2DownloadStartingEventHandler : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender, ICoreWebView2DownloadStartingEventArgs* args) = 0;
};

// The sender is the operation; args carries nothing.
struct ICoreWebView2StateChangedEventHandler : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2DownloadOperation* sender, IUnknown* args) = 0;
};

// args carries nothing: the controller's get_ZoomFactor tells the new factor.
struct ICoreWebView2ZoomFactorChangedEventHandler : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2Controller* sender, IUnknown* args) = 0;
};

// Implemented by the caller; the loader reads it during CreateCoreWebView2EnvironmentWithOptions.
// Getters hand out CoTaskMemAlloc copies (or null) that the reader frees.
struct ICoreWebView2EnvironmentOptions : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE get_AdditionalBrowserArguments(LPWSTR* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_AdditionalBrowserArguments(LPCWSTR value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_Language(LPWSTR* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_Language(LPCWSTR value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_TargetCompatibleBrowserVersion(LPWSTR* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_TargetCompatibleBrowserVersion(LPCWSTR value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_AllowSingleSignOnUsingOSPrimaryAccount(BOOL* allow) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_AllowSingleSignOnUsingOSPrimaryAccount(BOOL allow) = 0;
};

// Engine objects.

struct ICoreWebView2Environment : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
	    HWND parentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) = 0;
	virtual HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(
	    IStream* content, int statusCode, LPCWSTR reasonPhrase, LPCWSTR headers, ICoreWebView2WebResourceResponse** response) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* versionInfo) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_NewBrowserVersionAvailable(
	    ICoreWebView2NewBrowserVersionAvailableEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_NewBrowserVersionAvailable(EventRegistrationToken token) = 0;
};

struct ICoreWebView2Controller : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE get_IsVisible(BOOL* isVisible) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL isVisible) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_Bounds(RECT* bounds) = 0;
	// RECT by value, as in the engine's ABI.
	virtual HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_ZoomFactor(double* zoomFactor) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_ZoomFactor(double zoomFactor) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_ZoomFactorChanged(ICoreWebView2ZoomFactorChangedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_ZoomFactorChanged(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE SetBoundsAndZoomFactor(RECT bounds, double zoomFactor) = 0;
	virtual HRESULT STDMETHODCALLTYPE MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON reason) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_MoveFocusRequested(ICoreWebView2MoveFocusRequestedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_MoveFocusRequested(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_GotFocus(ICoreWebView2FocusChangedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_GotFocus(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_LostFocus(ICoreWebView2FocusChangedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_LostFocus(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_AcceleratorKeyPressed(
	    ICoreWebView2AcceleratorKeyPressedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_AcceleratorKeyPressed(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_ParentWindow(HWND* parentWindow) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_ParentWindow(HWND parentWindow) = 0;
	virtual HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() = 0;
	// Close comes before get_CoreWebView2 in the vtable.
	virtual HRESULT STDMETHODCALLTYPE Close() = 0;
	virtual HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** coreWebView2) = 0;
};

// Queried at run time on the controller.
struct ICoreWebView2Controller2 : public ICoreWebView2Controller {
	virtual HRESULT STDMETHODCALLTYPE get_DefaultBackgroundColor(COREWEBVIEW2_COLOR* value) = 0;
	// Alpha 0 or 255 only; any other fails with E_INVALIDARG.
	virtual HRESULT STDMETHODCALLTYPE put_DefaultBackgroundColor(COREWEBVIEW2_COLOR value) = 0;
};

struct ICoreWebView2 : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** settings) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* uri) = 0;
	virtual HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) = 0;
	virtual HRESULT STDMETHODCALLTYPE NavigateToString(LPCWSTR htmlContent) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_NavigationStarting(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_ContentLoading(ICoreWebView2ContentLoadingEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_ContentLoading(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_SourceChanged(ICoreWebView2SourceChangedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_SourceChanged(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_HistoryChanged(ICoreWebView2HistoryChangedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_HistoryChanged(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_NavigationCompleted(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_FrameNavigationStarting(
	    ICoreWebView2NavigationStartingEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_FrameNavigationStarting(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_FrameNavigationCompleted(
	    ICoreWebView2NavigationCompletedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_FrameNavigationCompleted(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_ScriptDialogOpening(ICoreWebView2ScriptDialogOpeningEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_ScriptDialogOpening(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_PermissionRequested(ICoreWebView2PermissionRequestedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_PermissionRequested(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_ProcessFailed(ICoreWebView2ProcessFailedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_ProcessFailed(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE AddScriptToExecuteOnDocumentCreated(
	    LPCWSTR javaScript, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) = 0;
	virtual HRESULT STDMETHODCALLTYPE RemoveScriptToExecuteOnDocumentCreated(LPCWSTR id) = 0;
	virtual HRESULT STDMETHODCALLTYPE ExecuteScript(LPCWSTR javaScript, ICoreWebView2ExecuteScriptCompletedHandler* handler) = 0;
	virtual HRESULT STDMETHODCALLTYPE CapturePreview(
	    COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT imageFormat, IStream* imageStream, ICoreWebView2CapturePreviewCompletedHandler* handler) = 0;
	virtual HRESULT STDMETHODCALLTYPE Reload() = 0;
	virtual HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR webMessageAsJson) = 0;
	virtual HRESULT STDMETHODCALLTYPE PostWebMessageAsString(LPCWSTR webMessageAsString) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_WebMessageReceived(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE CallDevToolsProtocolMethod(
	    LPCWSTR methodName, LPCWSTR parametersAsJson, ICoreWebView2CallDevToolsProtocolMethodCompletedHandler* handler) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_BrowserProcessId(UINT32* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_CanGoBack(BOOL* canGoBack) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_CanGoForward(BOOL* canGoForward) = 0;
	virtual HRESULT STDMETHODCALLTYPE GoBack() = 0;
	virtual HRESULT STDMETHODCALLTYPE GoForward() = 0;
	virtual HRESULT STDMETHODCALLTYPE GetDevToolsProtocolEventReceiver(LPCWSTR eventName, ICoreWebView2DevToolsProtocolEventReceiver** receiver) = 0;
	virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
	virtual HRESULT STDMETHODCALLTYPE add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_NewWindowRequested(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_DocumentTitleChanged(
	    ICoreWebView2DocumentTitleChangedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_DocumentTitleChanged(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_DocumentTitle(LPWSTR* title) = 0;
	virtual HRESULT STDMETHODCALLTYPE AddHostObjectToScript(LPCWSTR name, VARIANT* object) = 0;
	virtual HRESULT STDMETHODCALLTYPE RemoveHostObjectFromScript(LPCWSTR name) = 0;
	virtual HRESULT STDMETHODCALLTYPE OpenDevToolsWindow() = 0;
	virtual HRESULT STDMETHODCALLTYPE add_ContainsFullScreenElementChanged(
	    ICoreWebView2ContainsFullScreenElementChangedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_ContainsFullScreenElementChanged(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_ContainsFullScreenElement(BOOL* containsFullScreenElement) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_WebResourceRequested(
	    ICoreWebView2WebResourceRequestedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_WebResourceRequested(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE AddWebResourceRequestedFilter(const LPCWSTR uri, const COREWEBVIEW2_WEB_RESOURCE_CONTEXT resourceContext) = 0;
	virtual HRESULT STDMETHODCALLTYPE RemoveWebResourceRequestedFilter(const LPCWSTR uri, const COREWEBVIEW2_WEB_RESOURCE_CONTEXT resourceContext) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_WindowCloseRequested(
	    ICoreWebView2WindowCloseRequestedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_WindowCloseRequested(EventRegistrationToken token) = 0;
};

// The methods ICoreWebView2_2 to ICoreWebView2_20 add, slots 61 to 121, that nobody here calls: each
// is only a placeholder that keeps its slot (distinct names keep every compiler's vtable in
// declaration order).
#define BW_WEBVIEW2_PLACEHOLDER(slot) virtual HRESULT STDMETHODCALLTYPE placeholder_##slot() = 0;
#define BW_WEBVIEW2_PLACEHOLDERS_10(tens) \
	BW_WEBVIEW2_PLACEHOLDER(tens##0) BW_WEBVIEW2_PLACEHOLDER(tens##1) BW_WEBVIEW2_PLACEHOLDER(tens##2) BW_WEBVIEW2_PLACEHOLDER(tens##3) \
	BW_WEBVIEW2_PLACEHOLDER(tens##4) BW_WEBVIEW2_PLACEHOLDER(tens##5) BW_WEBVIEW2_PLACEHOLDER(tens##6) BW_WEBVIEW2_PLACEHOLDER(tens##7) \
	BW_WEBVIEW2_PLACEHOLDER(tens##8) BW_WEBVIEW2_PLACEHOLDER(tens##9)

// ICoreWebView2_2 to ICoreWebView2_4 in one: each appends to its base, so the slots are the same.
// Queried at run time: runtimes older than the interface answer E_NOINTERFACE.
struct ICoreWebView2_4 : public ICoreWebView2 {
	BW_WEBVIEW2_PLACEHOLDER(61)
	BW_WEBVIEW2_PLACEHOLDER(62)
	BW_WEBVIEW2_PLACEHOLDER(63)
	BW_WEBVIEW2_PLACEHOLDER(64)
	BW_WEBVIEW2_PLACEHOLDER(65)
	BW_WEBVIEW2_PLACEHOLDER(66)
	BW_WEBVIEW2_PLACEHOLDER(67)
	BW_WEBVIEW2_PLACEHOLDER(68)
	BW_WEBVIEW2_PLACEHOLDER(69)
	BW_WEBVIEW2_PLACEHOLDER(70)
	BW_WEBVIEW2_PLACEHOLDER(71)
	BW_WEBVIEW2_PLACEHOLDER(72)
	// add_FrameCreated and remove_FrameCreated.
	BW_WEBVIEW2_PLACEHOLDER(73)
	BW_WEBVIEW2_PLACEHOLDER(74)
	// Slots 75 and 76.
	virtual HRESULT STDMETHODCALLTYPE add_DownloadStarting(ICoreWebView2DownloadStartingEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_DownloadStarting(EventRegistrationToken token) = 0;
};

// ICoreWebView2_5 to ICoreWebView2_16 in one, likewise. Queried at run time.
struct ICoreWebView2_16 : public ICoreWebView2_4 {
	BW_WEBVIEW2_PLACEHOLDER(77)
	BW_WEBVIEW2_PLACEHOLDER(78)
	BW_WEBVIEW2_PLACEHOLDER(79)
	BW_WEBVIEW2_PLACEHOLDERS_10(8)
	BW_WEBVIEW2_PLACEHOLDERS_10(9)
	BW_WEBVIEW2_PLACEHOLDERS_10(10)
	BW_WEBVIEW2_PLACEHOLDER(110)
	BW_WEBVIEW2_PLACEHOLDER(111)
	BW_WEBVIEW2_PLACEHOLDER(112)
	// Print, slot 113.
	BW_WEBVIEW2_PLACEHOLDER(113)
	// Slot 114: opens the dialog and returns; no completion. While one is open, another call opens none.
	virtual HRESULT STDMETHODCALLTYPE ShowPrintUI(COREWEBVIEW2_PRINT_DIALOG_KIND printDialogKind) = 0;
	// PrintToPdfStream, slot 115.
	BW_WEBVIEW2_PLACEHOLDER(115)
};

// ICoreWebView2_17 to ICoreWebView2_21 in one, likewise. Queried at run time.
struct ICoreWebView2_21 : public ICoreWebView2_16 {
	BW_WEBVIEW2_PLACEHOLDER(116)
	BW_WEBVIEW2_PLACEHOLDER(117)
	BW_WEBVIEW2_PLACEHOLDER(118)
	BW_WEBVIEW2_PLACEHOLDER(119)
	BW_WEBVIEW2_PLACEHOLDER(120)
	BW_WEBVIEW2_PLACEHOLDER(121)
	// Slot 122. Unlike ExecuteScript it tells a script that threw from one that gave null, and
	// undefined from null.
	virtual HRESULT STDMETHODCALLTYPE ExecuteScriptWithResult(LPCWSTR javaScript, ICoreWebView2ExecuteScriptWithResultCompletedHandler* handler) = 0;
};

// Lent to the completion handler. Strings from its getters are CoTaskMemAlloc copies.
struct ICoreWebView2ExecuteScriptResult : public IUnknown {
	// FALSE when the script threw: get_Exception tells what.
	virtual HRESULT STDMETHODCALLTYPE get_Succeeded(BOOL* value) = 0;
	// "undefined" for a script without a value, "null" after a throw.
	virtual HRESULT STDMETHODCALLTYPE get_ResultAsJson(LPWSTR* jsonResult) = 0;
	virtual HRESULT STDMETHODCALLTYPE TryGetResultAsString(LPWSTR* stringResult, BOOL* value) = 0;
	// S_OK also when there is none: the pointer tells.
	virtual HRESULT STDMETHODCALLTYPE get_Exception(ICoreWebView2ScriptException** exception) = 0;
};

// Name and message are empty when the script threw something that is not an Error.
struct ICoreWebView2ScriptException : public IUnknown {
	// Both 0-based.
	virtual HRESULT STDMETHODCALLTYPE get_LineNumber(UINT32* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_ColumnNumber(UINT32* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_Name(LPWSTR* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_Message(LPWSTR* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_ToJson(LPWSTR* value) = 0;
};

struct ICoreWebView2Settings : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE get_IsScriptEnabled(BOOL* isScriptEnabled) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_IsScriptEnabled(BOOL isScriptEnabled) = 0;
	// IsWebMessageEnabled comes before AreDefaultScriptDialogsEnabled in the vtable.
	virtual HRESULT STDMETHODCALLTYPE get_IsWebMessageEnabled(BOOL* isWebMessageEnabled) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_IsWebMessageEnabled(BOOL isWebMessageEnabled) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_AreDefaultScriptDialogsEnabled(BOOL* areDefaultScriptDialogsEnabled) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_AreDefaultScriptDialogsEnabled(BOOL areDefaultScriptDialogsEnabled) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_IsStatusBarEnabled(BOOL* isStatusBarEnabled) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_IsStatusBarEnabled(BOOL isStatusBarEnabled) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_AreDevToolsEnabled(BOOL* areDevToolsEnabled) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_AreDevToolsEnabled(BOOL areDevToolsEnabled) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_AreDefaultContextMenusEnabled(BOOL* enabled) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_AreDefaultContextMenusEnabled(BOOL enabled) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_AreHostObjectsAllowed(BOOL* allowed) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_AreHostObjectsAllowed(BOOL allowed) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_IsZoomControlEnabled(BOOL* enabled) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_IsZoomControlEnabled(BOOL enabled) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_IsBuiltInErrorPageEnabled(BOOL* enabled) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_IsBuiltInErrorPageEnabled(BOOL enabled) = 0;
};

struct ICoreWebView2NavigationCompletedEventArgs : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE get_IsSuccess(BOOL* isSuccess) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_WebErrorStatus(COREWEBVIEW2_WEB_ERROR_STATUS* webErrorStatus) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* navigationId) = 0;
};

// Strings from these getters are CoTaskMemAlloc copies that the caller frees.
struct ICoreWebView2WebMessageReceivedEventArgs : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* value) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* value) = 0;
	// Fails with E_INVALIDARG when the message is not a string.
	virtual HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR* value) = 0;
};

// Lent to the handler. Cancel is read once every handler has returned; there is no deferral.
struct ICoreWebView2NavigationStartingEventArgs : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_IsRedirected(BOOL* isRedirected) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_RequestHeaders(ICoreWebView2HttpRequestHeaders** requestHeaders) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_Cancel(BOOL* cancel) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_Cancel(BOOL cancel) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* navigationId) = 0;
};

// Setting neither NewWindow nor Handled lets the engine open a popup window of its own. Here the
// setters come before the getters.
struct ICoreWebView2NewWindowRequestedEventArgs : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_NewWindow(ICoreWebView2* newWindow) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_NewWindow(ICoreWebView2** newWindow) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_Handled(BOOL* handled) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) = 0;
	virtual HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_WindowFeatures(ICoreWebView2WindowFeatures** value) = 0;
};

struct ICoreWebView2ProcessFailedEventArgs : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE get_ProcessFailedKind(COREWEBVIEW2_PROCESS_FAILED_KIND* value) = 0;
};

// Queried on the arguments; older runtimes lack it.
struct ICoreWebView2ProcessFailedEventArgs2 : public ICoreWebView2ProcessFailedEventArgs {
	virtual HRESULT STDMETHODCALLTYPE get_Reason(COREWEBVIEW2_PROCESS_FAILED_REASON* reason) = 0;
	// STILL_ACTIVE (259) for an unresponsive page.
	virtual HRESULT STDMETHODCALLTYPE get_ExitCode(int* exitCode) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_ProcessDescription(LPWSTR* processDescription) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_FrameInfosForFailedProcess(ICoreWebView2FrameInfoCollection** frames) = 0;
};

// Cancel, ResultFilePath and Handled are read when the handler returns, or when the deferral
// completes. ResultFilePath starts as the path the engine proposes.
struct ICoreWebView2DownloadStartingEventArgs : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE get_DownloadOperation(ICoreWebView2DownloadOperation** downloadOperation) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_Cancel(BOOL* cancel) = 0;
	virtual HRESULT STDMETHODCALLTYPE put_Cancel(BOOL cancel) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_ResultFilePath(LPWSTR* resultFilePath) = 0;
	// Absolute, with the file name; an existing file is overwritten, missing folders are made.
	virtual HRESULT STDMETHODCALLTYPE put_ResultFilePath(LPCWSTR resultFilePath) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_Handled(BOOL* handled) = 0;
	// TRUE hides the engine's download dialog; the download goes on.
	virtual HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) = 0;
	virtual HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) = 0;
};

// The three event pairs come first, before any getter.
struct ICoreWebView2DownloadOperation : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE add_BytesReceivedChanged(ICoreWebView2BytesReceivedChangedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_BytesReceivedChanged(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_EstimatedEndTimeChanged(
	    ICoreWebView2EstimatedEndTimeChangedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_EstimatedEndTimeChanged(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE add_StateChanged(ICoreWebView2StateChangedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
	virtual HRESULT STDMETHODCALLTYPE remove_StateChanged(EventRegistrationToken token) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_ContentDisposition(LPWSTR* contentDisposition) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_MimeType(LPWSTR* mimeType) = 0;
	// -1 when the size is unknown.
	virtual HRESULT STDMETHODCALLTYPE get_TotalBytesToReceive(INT64* totalBytesToReceive) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_BytesReceived(INT64* bytesReceived) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_EstimatedEndTime(LPWSTR* estimatedEndTime) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_ResultFilePath(LPWSTR* resultFilePath) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_State(COREWEBVIEW2_DOWNLOAD_STATE* downloadState) = 0;
	virtual HRESULT STDMETHODCALLTYPE get_InterruptReason(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON* interruptReason) = 0;
	virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
	virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
	virtual HRESULT STDMETHODCALLTYPE Resume() = 0;
	virtual HRESULT STDMETHODCALLTYPE get_CanResume(BOOL* canResume) = 0;
};

// Complete once per deferral taken.
struct ICoreWebView2Deferral : public IUnknown {
	virtual HRESULT STDMETHODCALLTYPE Complete() = 0;
};

// Exports of WebView2Loader.dll (extern "C", undecorated on x64), looked up with GetProcAddress.
// Both need a single-threaded COM apartment on the calling thread.
using CreateCoreWebView2EnvironmentWithOptionsFn = HRESULT(STDAPICALLTYPE*)(PCWSTR browserExecutableFolder,
    PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler);
// versionInfo receives a CoTaskMemAlloc string; without an installed runtime the call fails with
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) and a null string.
using GetAvailableCoreWebView2BrowserVersionStringFn = HRESULT(STDAPICALLTYPE*)(PCWSTR browserExecutableFolder, LPWSTR* versionInfo);

// The runtime's own entry in EmbeddedBrowserWebView.dll, for starting it without the loader.
// runtimeType: 0 installed runtime, 1 fixed version.
using CreateWebViewEnvironmentWithOptionsInternalFn = HRESULT(STDMETHODCALLTYPE*)(bool checkRunningInstance, int runtimeType,
    PCWSTR userDataFolder, IUnknown* environmentOptions, ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);

static_assert(sizeof(EventRegistrationToken) == 8);
static_assert(sizeof(COREWEBVIEW2_WEB_ERROR_STATUS) == 4);
static_assert(sizeof(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON) == 4);
static_assert(sizeof(COREWEBVIEW2_COLOR) == 4);
