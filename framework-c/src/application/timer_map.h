// The process-wide list of armed one-shot timers. GUI thread only.
#pragma once

#include <bw/application.h>

struct bw_TimerNode {
	bw_TimerNode* next;
	uintptr_t timer_id;
	bw_Application* app;
	bw_ApplicationDispatchData* dispatch_data; // owned
};

extern "C" {

// Arms a timer on the GUI thread and remembers its call at the tail of the list.
bw_TimerNode* bw_TimerMap_arm(bw_Application* app, bw_ApplicationDispatchData* dispatch_data, uint32_t milliseconds);
bw_TimerNode* bw_TimerMap_add(uintptr_t timer_id, bw_Application* app, bw_ApplicationDispatchData* dispatch_data);
bw_TimerNode* bw_TimerMap_find(uintptr_t timer_id);
// 1 if the node was in the list and is now unlinked and freed, 0 if not found.
int bw_TimerMap_remove(bw_TimerNode* node);
// A timer expired (and was killed): makes its call once, then forgets it. Unknown ids are ignored.
void bw_TimerMap_fire(uintptr_t timer_id);
// Kills every armed timer and releases its call without making it.
void bw_TimerMap_free(void);

} // extern "C"
