// What sits in the loop between microphone and loudspeaker: the plug-in under test, loaded from its
// module as a host loads it, or a plain pass-through for the reference. A factory makes a fresh
// instance for every run, so no run inherits another's notches. Instances run on worker threads;
// creating and releasing plug-in instances is serialised, processing is not.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace ringstill::loop {

class Processor
{
public:
    virtual ~Processor() = default;
    virtual bool Start(double sampleRate, int block, std::string& error) = 0;
    // Mono, at most block frames.
    virtual bool Process(const float* in, float* out, int frames, std::string& error) = 0;
    virtual int Latency() const = 0;
};

class ProcessorFactory
{
public:
    virtual ~ProcessorFactory() = default;
    virtual std::unique_ptr<Processor> Create(std::string& error) const = 0;
    virtual std::string Name() const = 0;
};

class PassThroughFactory final : public ProcessorFactory
{
public:
    std::unique_ptr<Processor> Create(std::string& error) const override;
    std::string Name() const override { return "pass-through"; }
};

// The plug-in in bundle (or binary) path, set up from an optional state file and "Name=Value"
// settings (see Settings.h).
class PluginFactory final : public ProcessorFactory
{
public:
    PluginFactory(std::string bundle, std::string stateFile, std::vector<std::string> settings);
    // Opens one instance to check that the module loads and every setting applies.
    bool Check(std::string& error) const;
    std::unique_ptr<Processor> Create(std::string& error) const override;
    std::string Name() const override;

private:
    std::string bundle;
    std::string stateFile;
    std::vector<std::string> settings;
};

} // namespace ringstill::loop
