#pragma once
// While alive, file permissions hold for this thread even when the tests run as root: the
// capabilities that let root read any folder are taken out of the effective set and given back
// at the end. Tests of unreadable folders skip themselves when this is not possible.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace katalox::test {

class ReadRightsDropped {
public:
    ReadRightsDropped() {
        if (::geteuid() != 0) {
            active_ = true;
            return;
        }
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        header_.pid = 0;
        if (::syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        dropped_ = ::syscall(SYS_capset, &header_, reduced) == 0;
        active_ = dropped_;
    }
    ~ReadRightsDropped() {
        if (dropped_)
            ::syscall(SYS_capset, &header_, saved_);
    }
    ReadRightsDropped(const ReadRightsDropped&) = delete;
    ReadRightsDropped& operator=(const ReadRightsDropped&) = delete;

    // Whether a folder without read permission is now unreadable for this process.
    bool active() const { return active_; }

private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool dropped_ = false;
    bool active_ = false;
};

} // namespace katalox::test
