/* Test controls of the stand-in WebView2 engine (WebView2Loader.dll built for tests).
 *
 * The engine is single-threaded like the real one: call it and these controls on the thread that
 * created the environment. Only StandIn_CallLog, StandIn_Trace, StandIn_Violations and
 * StandIn_LiveObjects may be read from any thread. Completions and events are delivered through that
 * thread's message loop, never from inside the call that started them.
 *
 * Texts returned as const char* are UTF-8 and stay valid until the same control is called again on
 * the same thread.
 *
 * Call log lines are method names with their arguments, e.g. "put_Bounds(0,0,1008,729)",
 * "Navigate(http://127.0.0.1:37338)", "put_AreDevToolsEnabled(0)", "CreateCoreWebView2Controller(window)",
 * "options.get_TargetCompatibleBrowserVersion=89.0.765"; getters of event arguments start with
 * "args.". Text arguments have backslash, CR, LF and tab escaped as \\ \r \n \t; a null text is
 * "null".
 *
 * Failure steps are method names ("Navigate", "get_Settings", "args.get_WebMessageAsJson",
 * "CreateCoreWebView2EnvironmentWithOptions", "GetAvailableCoreWebView2BrowserVersionString", ...):
 * the call returns the HRESULT and does nothing. A name with ".completion" appended
 * ("CreateCoreWebView2EnvironmentWithOptions.completion", "CreateCoreWebView2Controller.completion",
 * "ExecuteScript.completion", "ExecuteScriptWithResult.completion",
 * "AddScriptToExecuteOnDocumentCreated.completion") lets the call succeed and makes its completion
 * handler receive the HRESULT (and a null result) instead. Failing "QueryInterface.ICoreWebView2_21"
 * with E_NOINTERFACE makes the webview one of a runtime without ExecuteScriptWithResult; likewise
 * "QueryInterface.ICoreWebView2_4" (no DownloadStarting), "QueryInterface.ICoreWebView2Controller2"
 * (no DefaultBackgroundColor) and "QueryInterface.ICoreWebView2ProcessFailedEventArgs2". The getters
 * of ExecuteScriptWithResult's result and exception are logged and failed as "result.get_Succeeded",
 * "exception.get_Name", ...; a download operation's calls as "download.get_State", ...
 *
 * Event arguments are read as the engine documents it: what handlers set is read once they have all
 * returned (or, where the event has a deferral, once every deferral taken has completed); a setter
 * called later is a violation.
 *
 * A program that loads the engine in a process of its own is driven through its environment instead:
 * WEBVIEW2_STANDIN_NAVIGATION=probe|fail|succeed sets the navigation result, WEBVIEW2_STANDIN_LOG
 * names a file every call log line is appended to, WEBVIEW2_STANDIN_TRACE one the trace goes to.
 * STANDIN_PAGE_ACTIONS lists page actions, separated by spaces, that the page takes once, as soon as
 * the first navigation to an http or https address completed successfully:
 *   click=<url>                             StandIn_ClickLink(url, FALSE)
 *   open=<url>                              StandIn_ClickLink(url, TRUE), a new window request
 *   download=<url>|<name>|<mime>|<bytes>    StandIn_StartDownload with the server naming the file
 *                                           <name> ("attachment; filename=...") and <bytes> as text
 *   crash                                   StandIn_FailProcess: the page's process exited (crashed)
 *   permission=<kind>[|<origin>]            StandIn_RequestPermission by the kind's name (notifications,
 *                                           camera, microphone, geolocation, clipboard-read, ...)
 *   notify=<title>|<body>|<tag>             StandIn_ShowNotification, not silent
 *   close-notification                      StandIn_CloseNotification
 *   wait-for=<path>                         the actions after it wait until the file exists
 * An action not understood is a violation.
 */
#ifndef STANDIN_CONTROL_H
#define STANDIN_CONTROL_H

#include <windows.h>

#ifdef STANDIN_BUILDING
#define STANDIN_API __declspec(dllexport)
#else
#define STANDIN_API __declspec(dllimport)
#endif

/* Navigation outcomes. */
#define STANDIN_NAVIGATION_FAIL 0
#define STANDIN_NAVIGATION_SUCCEED 1
/* http and https URLs succeed when a TCP connection to their host and port can be made. */
#define STANDIN_NAVIGATION_PROBE 2
/* The server takes the request and never answers: the navigation stays in progress until Stop or
 * another navigation cancels it. */
#define STANDIN_NAVIGATION_NEVER_ANSWERS 3

/* Class of the child window each controller makes inside its parent; put_Bounds moves it. */
#define STANDIN_HOST_WINDOW_CLASS L"WebView2StandInHost"

#ifdef __cplusplus
extern "C" {
#endif

/* Forgets the log, violations, failures, rules and pending deliveries; restores the defaults
 * (navigations succeed, runtime 138.0.3351.48 installed). Objects the caller still holds stay alive. */
STANDIN_API void StandIn_Reset(void);

/* Every call the engine received, one per line, in order. */
STANDIN_API const char* StandIn_CallLog(void);
/* The calls interleaved with what the engine delivered (lines starting with "> "). */
STANDIN_API const char* StandIn_Trace(void);
/* Misuse seen, one per line: a call on a released object, a release too many, a call from another
 * thread, a handler that does not answer QueryInterface for its interface. Empty when none. */
STANDIN_API const char* StandIn_Violations(void);

STANDIN_API void StandIn_FailStep(const char* step, HRESULT hr); /* until reset; S_OK clears */
STANDIN_API void StandIn_FailStepOnce(const char* step, HRESULT hr);

STANDIN_API void StandIn_SetNavigationResult(int mode);
/* URLs starting with prefix get mode; the longest matching prefix wins. */
STANDIN_API void StandIn_SetNavigationRule(const wchar_t* url_prefix, int mode);

/* The installed runtime's version; null means no runtime: the loader's calls fail with
 * HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND). */
STANDIN_API void StandIn_BrowserVersion(const wchar_t* version);

/* Engine objects not yet released, and a line per object ("WebView #5 refs=2"). */
STANDIN_API int StandIn_LiveObjects(void);
STANDIN_API const char* StandIn_LiveObjectList(void);
/* Completions and events posted but not yet delivered. */
STANDIN_API int StandIn_PendingDeliveries(void);

/* The page of the most recently created open webview acts; FALSE when there is none. */
/* The page posts a message (delivered as given, valid JSON or not); FALSE when web messages are off. */
STANDIN_API BOOL StandIn_PostWebMessageAsJson(const wchar_t* json);
/* The page runs a script of its own, e.g. invoke_extern("open", 1), in its current document. */
STANDIN_API BOOL StandIn_RunPageScript(const wchar_t* script);
/* The page navigates itself: a new document, and NavigationCompleted again. */
STANDIN_API BOOL StandIn_NavigateFromPage(const wchar_t* url);
/* A setting of that webview by its property name ("AreDevToolsEnabled"): 1, 0, or -1 when unknown. */
STANDIN_API int StandIn_Setting(const char* name);
/* A user clicks a link: a user-initiated navigation of the page, or with new_window (a link with a
 * target) NewWindowRequested. Without handlers that set Handled or NewWindow, the engine opens a
 * popup of its own (the trace says "engine popup opens <url>"). */
STANDIN_API BOOL StandIn_ClickLink(const wchar_t* url, BOOL new_window);
/* The page starts a download of url; content_disposition and mime_type as the server sent them (null
 * for none). The bytes arrive, or with interrupt_reason (a COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON)
 * other than 0 the transfer is interrupted with it. Without a ResultFilePath set, the file goes to
 * %USERPROFILE%\Downloads under the suggested name. */
STANDIN_API BOOL StandIn_StartDownload(const wchar_t* url, const wchar_t* content_disposition, const wchar_t* mime_type, const char* bytes,
    int size, int interrupt_reason);
/* A process of the engine fails (COREWEBVIEW2_PROCESS_FAILED_KIND and _REASON). A page process that
 * exited leaves an error page until Reload; an ended browser process closes the webview. */
STANDIN_API BOOL StandIn_FailProcess(int kind, int reason, int exit_code);
/* The user zooms the page with Ctrl and the wheel; FALSE when zoom control is off. */
STANDIN_API BOOL StandIn_UserZoom(double factor);
/* The page asks for a permission (a COREWEBVIEW2_PERMISSION_KIND) for its document's origin, or for
 * origin ("http://host:port/") as a frame of it would. The trace says how it ended: "page permission
 * <kind> for <origin> allowed|denied|default (saved in the profile|not saved|from the profile)". */
STANDIN_API BOOL StandIn_RequestPermission(int kind, const wchar_t* origin, BOOL user_initiated);
/* new Notification(title, {body, tag, silent}) in the page; and the page's close() of the last one. */
STANDIN_API BOOL StandIn_ShowNotification(const wchar_t* title, const wchar_t* body, const wchar_t* tag, BOOL silent);
STANDIN_API BOOL StandIn_CloseNotification(void);

#ifdef __cplusplus
}
#endif

#endif
