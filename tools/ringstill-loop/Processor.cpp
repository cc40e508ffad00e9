#include "tools/ringstill-loop/Processor.h"

#include "tools/ringstill-loop/Settings.h"
#include "tools/ringstill-render/RenderSession.h"

#include <algorithm>
#include <mutex>

namespace ringstill::loop {
namespace {

// Loading, creating and releasing plug-in instances happen one at a time, as on a host's main
// thread; only processing runs on several threads at once.
std::mutex& LifecycleMutex()
{
    static std::mutex mutex;
    return mutex;
}

class PassThrough final : public Processor
{
public:
    bool Start(double, int, std::string&) override { return true; }
    bool Process(const float* in, float* out, int frames, std::string&) override
    {
        std::copy(in, in + frames, out);
        return true;
    }
    int Latency() const override { return 0; }
};

class PluginProcessor final : public Processor
{
public:
    explicit PluginProcessor(std::unique_ptr<render::RenderSession> session) : session(std::move(session)) {}
    ~PluginProcessor() override
    {
        std::lock_guard<std::mutex> lock(LifecycleMutex());
        session.reset();
    }
    bool Start(double rate, int block, std::string& error) override
    {
        std::lock_guard<std::mutex> lock(LifecycleMutex());
        return session->Start(1, rate, block, false, error);
    }
    bool Process(const float* in, float* out, int frames, std::string& error) override
    {
        return session->Process(in, out, frames, error);
    }
    int Latency() const override { return session->Latency(); }

private:
    std::unique_ptr<render::RenderSession> session;
};

} // namespace

std::unique_ptr<Processor> PassThroughFactory::Create(std::string&) const { return std::make_unique<PassThrough>(); }

PluginFactory::PluginFactory(std::string bundle, std::string stateFile, std::vector<std::string> settings)
    : bundle(std::move(bundle)), stateFile(std::move(stateFile)), settings(std::move(settings))
{
}

std::unique_ptr<Processor> PluginFactory::Create(std::string& error) const
{
    std::lock_guard<std::mutex> lock(LifecycleMutex());
    std::unique_ptr<render::RenderSession> session = render::RenderSession::Open(bundle, error);
    if (session == nullptr)
        return nullptr;
    if ((!stateFile.empty() && !session->LoadState(stateFile, error)) || !ApplySettings(*session, settings, error))
        return nullptr; // released under the lock: it was declared after it
    return std::make_unique<PluginProcessor>(std::move(session));
}

bool PluginFactory::Check(std::string& error) const { return Create(error) != nullptr; }

std::string PluginFactory::Name() const
{
    std::string name = "plug-in";
    for (const std::string& s : settings)
        name += " " + s;
    return name;
}

} // namespace ringstill::loop
