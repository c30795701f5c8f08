#pragma once

class CoreView;
class Operations;
class WindowSink;

// What a window works with: the core's operations, the view of its state, and
// the sink whose changed() says when that view is to be read again. A window
// reaches nothing else of the core.
struct CoreAccess {
    Operations& ops;
    const CoreView& view;
    WindowSink& events;
};
