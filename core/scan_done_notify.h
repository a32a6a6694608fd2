#pragma once
// How a scan's worker says that the scan has ended: the one call the
// command makes to the window, kept apart so that a window's interface need
// not take in the whole command.

namespace sizewalk {

// Called on the worker thread, once per scan; it must only arrange for the
// command's Finish() to run on the user-interface thread and return. It
// must not throw, block, or touch the tree or the dialog's controls.
class CScanDoneNotify {
public:
    virtual ~CScanDoneNotify() = default;
    virtual void PostScanDone() noexcept = 0;
};

}  // namespace sizewalk
