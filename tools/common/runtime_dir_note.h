#pragma once

// Without XDG_RUNTIME_DIR (root, cron, CI) Qt warns as it picks a runtime
// folder of its own. The theme tools keep nothing there, so that warning
// would only alarm; this drops exactly it and lets every other message
// through. Call it before the application object is made.
void drop_runtime_dir_note();
