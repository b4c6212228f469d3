// notify_send MESSAGE...: sends the messages, joined by newlines, as one notify datagram in the
// name of its parent, as systemd-notify does; a test child for notify_listener's tests.
#include <string>
#include <systemd/sd-daemon.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::string message;
    for (int i = 1; i < argc; ++i)
        message += (i > 1 ? "\n" : "") + std::string(argv[i]);
    return sd_pid_notify(getppid(), 0, message.c_str()) > 0 ? 0 : 1;
}
