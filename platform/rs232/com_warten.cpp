// The bounded wait every transport uses: poll a descriptor until it is ready or the deadline passes.
#include "platform/rs232/com_intern.h"

#include <cerrno>

#include <poll.h>

namespace com_intern {

int Warten(int fd, short events, Clock::time_point frist)
{
    for (;;) {
        const auto left = frist - Clock::now();
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec ts{static_cast<time_t>(ns > 0 ? ns / 1000000000 : 0),
                          static_cast<long>(ns > 0 ? ns % 1000000000 : 0)};
        pollfd pfd{fd, events, 0};
        const int n = ppoll(&pfd, 1, &ts, nullptr);
        if (n > 0)
            return pfd.revents;
        if (n < 0 && errno != EINTR)
            return -1;
        if (n == 0 && ns <= 0)
            return 0;
        // Interrupted or woken early: wait again for the time that is left.
    }
}

}  // namespace com_intern
