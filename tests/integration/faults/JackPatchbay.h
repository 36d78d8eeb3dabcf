#pragma once
// Connects JACK MIDI ports by name, as a patchbay does when a device comes
// back. The panel records its MIDI ports once, at start-up; a looper that
// returns as a new JACK client reaches the panel again only when its ports are
// connected to the panel's. The patchbay has no ports of its own, so it never
// shows up in the panel's lists.
#include <jack/jack.h>

#include <cerrno>
#include <string>

namespace qx::test {

class JackPatchbay {
public:
    JackPatchbay() : client_(jack_client_open("qx-fault-patchbay", JackNoStartServer, nullptr)) {}
    ~JackPatchbay()
    {
        if (client_) jack_client_close(client_);
    }
    JackPatchbay(const JackPatchbay&) = delete;
    JackPatchbay& operator=(const JackPatchbay&) = delete;

    bool open() const { return client_ != nullptr; }

    // Connects every MIDI output port matching the first pattern to every MIDI
    // input port matching the second (JACK's regular expressions on the full
    // "client:port" names). Returns how many connections now exist between them.
    int connect(const std::string& outputs, const std::string& inputs)
    {
        if (!client_) return 0;
        const char** from = jack_get_ports(client_, outputs.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
        const char** to = jack_get_ports(client_, inputs.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
        int connected = 0;
        for (int i = 0; from && from[i]; ++i)
            for (int k = 0; to && to[k]; ++k) {
                const int result = jack_connect(client_, from[i], to[k]);
                connected += result == 0 || result == EEXIST;
            }
        if (from) jack_free(from);
        if (to) jack_free(to);
        return connected;
    }

private:
    jack_client_t* client_;
};

}  // namespace qx::test
