#include "timer_map.h"

#include "application_record.h"

#include <cstdlib>

namespace {
bw_TimerNode* timer_map = nullptr;
}

extern "C" {

bw_TimerNode* bw_TimerMap_arm(bw_Application* app, bw_ApplicationDispatchData* dispatch_data, uint32_t milliseconds) {
	return bw_TimerMap_add(bw_ApplicationImpl_setTimer(app, milliseconds), app, dispatch_data);
}

bw_TimerNode* bw_TimerMap_add(uintptr_t timer_id, bw_Application* app, bw_ApplicationDispatchData* dispatch_data) {
	auto* node = static_cast<bw_TimerNode*>(std::malloc(sizeof(bw_TimerNode)));
	*node = bw_TimerNode{nullptr, timer_id, app, dispatch_data};
	bw_TimerNode** tail = &timer_map;
	while (*tail != nullptr) tail = &(*tail)->next;
	*tail = node;
	return node;
}

bw_TimerNode* bw_TimerMap_find(uintptr_t timer_id) {
	for (bw_TimerNode* node = timer_map; node != nullptr; node = node->next)
		if (node->timer_id == timer_id) return node;
	return nullptr;
}

int bw_TimerMap_remove(bw_TimerNode* node) {
	for (bw_TimerNode** link = &timer_map; *link != nullptr; link = &(*link)->next) {
		if (*link == node) {
			*link = node->next;
			std::free(node);
			return 1;
		}
	}
	return 0;
}

void bw_TimerMap_fire(uintptr_t timer_id) {
	bw_TimerNode* node = bw_TimerMap_find(timer_id);
	if (node == nullptr) return;
	// Unlinked before the call, so that whatever the call does to the list cannot reach this node.
	bw_ApplicationDispatchData* call = node->dispatch_data;
	bw_Application* app = node->app;
	bw_TimerMap_remove(node);
	call->func(app, call->data);
	std::free(call);
}

void bw_TimerMap_free(void) {
	while (timer_map != nullptr) {
		bw_TimerNode* node = timer_map;
		timer_map = node->next;
		bw_ApplicationImpl_killTimer(node->timer_id);
		std::free(node->dispatch_data);
		std::free(node);
	}
}

} // extern "C"
