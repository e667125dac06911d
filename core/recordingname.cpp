#include "core/recordingname.h"

bool SplitRecordingName(const std::string& name, std::string* title, std::string* part,
                        std::string* stamp) {
    const std::size_t length = name.size();
    if (length < 17 || name[length - 17] != '_') {
        return false;
    }
    if (length >= 22 && name[length - 22] == '_' && name[length - 21] == '#') {
        if (title) {
            *title = name.substr(0, length - 22);
        }
        if (part) {
            *part = name.substr(length - 20, 3);
        }
    } else if (title) {
        *title = name.substr(0, length - 17);
    }
    if (stamp) {
        *stamp = name.substr(length - 16, 12);
    }
    return true;
}
