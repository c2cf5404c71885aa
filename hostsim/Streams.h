// The effect's parameter streams for the general plug-in layer: "AEGP Stream
// Suite" 9 (a stream by parameter index, its values at a time) and "AEGP
// Keyframe Suite" 4 (keyframe count, times and values). Values and keyframes
// are those of the Params component: between keyframes a stream interpolates
// linearly or holds, as the parameter's keyframes say, and before the first and
// after the last keyframe it holds. Streams and stream values are accounted: what the
// effect still holds at the end of a command is a leak. Every value request is
// recorded with its time.
#pragma once

#include "Host.h"
#include "Params.h"

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace hostsim {

class Streams : public Component {
public:
    struct ValueRequest {
        int index;
        A_Time time;
        AEGP_LTimeMode mode;
        bool preExpression;
    };

    void install(Host& host) override;
    void commandLeaks(std::vector<std::string>& out) const override;
    void unloadLeaks(std::vector<std::string>& out) const override;

    // The stream's value at a layer time.
    ParamValue valueAt(int index, A_Time time) const;

    std::vector<ValueRequest> requests() const;
    void clearRequests();
    int openStreams() const;
    int openValues() const;
    int streamsOpened() const;  // every stream handed out so far
    // Takes back what the effect still holds (after a disposal the host refused).
    void reclaimAll();

    // Served to the suite callbacks.
    struct Stream {
        int index;
    };
    mutable std::mutex mutex;
    std::map<const void*, std::unique_ptr<Stream>> streams;
    // Values handed out and not disposed, by the stream they came from (they
    // may outlive it).
    std::map<const void*, int> values;
    std::vector<ValueRequest> log;
    int opened = 0;
    // A stream that is open; a violation otherwise.
    Stream* find(AEGP_StreamRefH h, const char* function);

private:
    AEGP_StreamSuite9 stream9_{};
    AEGP_KeyframeSuite4 keyframe4_{};
};

}  // namespace hostsim
