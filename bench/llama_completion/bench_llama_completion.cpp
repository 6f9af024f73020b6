// Tokens per second of LlamaCppIntegration::GenerateCompletion beside llama.cpp's
// own llama-completion (greedy, temperature 0) on the same generated model,
// prompt, thread count and token count; then how soon a stop request ends a
// prompt decode, a generation and a model load.
//
// Usage: bench_llama_completion [tokens] [threads] [runs]
#include "ai/AIAnalysisEngine.h"
#include "ai/LlamaCppIntegration.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

static double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// The value before " ms" on llama-completion's perf line that starts with `key`.
static double PerfMs(const std::string& log, const std::string& key, size_t from = 0)
{
    size_t at = log.find(key, from);
    if (at == std::string::npos)
        return -1.0;
    at = log.find('=', at);
    return at == std::string::npos ? -1.0 : std::atof(log.c_str() + at + 1);
}

// Runs work with a stop request raised stopAfterMs into it (never when negative);
// returns how long it ran beyond that point, in ms.
static double TimedWithStop(int stopAfterMs, const std::function<void(std::atomic<bool>*)>& work)
{
    std::atomic<bool> stop{false};
    std::thread stopper;
    if (stopAfterMs >= 0)
        stopper = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(stopAfterMs));
            stop = true;
        });
    const auto t0 = std::chrono::steady_clock::now();
    work(&stop);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    if (stopper.joinable())
        stopper.join();
    return ms - std::max(stopAfterMs, 0);
}

int main(int argc, char** argv)
{
    const int tokens = argc > 1 ? std::atoi(argv[1]) : 128;
    const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
    const int threads = argc > 2 ? std::atoi(argv[2]) : (int)std::min(4u, hw);
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;

    char pattern[] = "/tmp/dravik-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        return 1;
    const std::string dir = pattern;
    const std::string model = dir + "/bench.gguf";
    // About 6.4 million parameters: 6 layers of width 256, feed-forward 1024.
    const std::string gen = std::string("python3 ") + DRAVIK_GGUF_GENERATOR + " " + model +
                            " --embd 256 --layers 6 --ff 1024 --heads 8 --seed 11";
    if (std::system(gen.c_str()) != 0)
    {
        std::cerr << "Error: model generator failed: " << gen << std::endl;
        return 1;
    }
    // The assistant's own prompt around a three-channel data context: several
    // batches of 128 tokens, which both sides decode whole.
    const std::string prompt = BuildAnalysisPrompt(
        "What does channel 2 show, and is the system healthy?",
        "ALERTS (2 issues detected):\n- Pressure shows HIGH DEVIATION (Z=3.104220 sigma)\n"
        "- Pressure shows RAPID CHANGE (812.500000 units)\n\nCurrent readings & averages:\n"
        "- Voltage: now=12.4, avg=12.5, min=12.1, max=12.9\n- Current: now=3.3, avg=3.1, min=2.8, max=3.6\n"
        "- Pressure: now=102137.5, avg=101325.0, min=101290.0, max=102137.5\n");
    const std::string promptFile = dir + "/prompt.txt";
    std::ofstream(promptFile) << prompt;
    int promptTokens = 0, theirPromptTokens = 0;

    LlamaCppConfig config;
    config.model_path = model;
    config.context_size = 2048;
    config.batch_size = 128;
    config.threads = (uint32_t)threads;
    config.max_tokens = (uint32_t)tokens;
    LlamaCppIntegration llama(config);

    // The integration's own lines are kept out of the figures.
    std::ostringstream sink;
    std::streambuf* saved = std::cout.rdbuf(sink.rdbuf());
    if (!llama.Initialize())
    {
        std::cout.rdbuf(saved);
        std::cerr << "Error: the model did not load" << std::endl;
        return 1;
    }
    llama.GenerateCompletion(prompt, 0); // warm-up
    std::cout.rdbuf(saved);

    // llama.cpp's own tool, timed by its own perf counters: its total time
    // leaves out the model load, as the integration's figure does.
    const std::string log = dir + "/completion.log";
    const std::string cmd = "llama-completion -m " + model + " -f " + promptFile + " -n " + std::to_string(tokens) +
                            " --temp 0 --ignore-eos -no-cnv -s 1 -c 2048 -b 128 -t " + std::to_string(threads) +
                            " -tb " + std::to_string(threads) + " > /dev/null 2> " + log;

    // The two alternate, so a change of machine load falls on both.
    std::vector<double> ours, theirs, theirsEval;
    int generated = 0;
    for (int r = 0; r < runs + 1; r++)
    {
        sink.str("");
        saved = std::cout.rdbuf(sink.rdbuf());
        auto t0 = std::chrono::steady_clock::now();
        llama.GenerateCompletion(prompt, 0);
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::cout.rdbuf(saved);
        const std::string out = sink.str();
        const size_t at = out.rfind("\nGenerated ");
        generated = at == std::string::npos ? 0 : std::atoi(out.c_str() + at + 11);
        const size_t tokenized = out.find("Tokenized prompt: ");
        promptTokens = tokenized == std::string::npos ? 0 : std::atoi(out.c_str() + tokenized + 18);

        if (std::system(cmd.c_str()) != 0)
        {
            std::cerr << "Error: llama-completion failed: " << cmd << std::endl;
            return 1;
        }
        std::ifstream in(log);
        std::stringstream ss;
        ss << in.rdbuf();
        const std::string text = ss.str();
        const double total = PerfMs(text, "total time");
        // "eval time" also ends "prompt eval time": take the line after it.
        const size_t promptLine = text.find("prompt eval time");
        const double eval = promptLine == std::string::npos ? -1.0 : PerfMs(text, " eval time", promptLine + 16);
        // "prompt eval time = ... ms / N tokens": the prompt length it decoded.
        const size_t slash = promptLine == std::string::npos ? std::string::npos : text.find('/', promptLine);
        if (slash != std::string::npos)
            theirPromptTokens = std::atoi(text.c_str() + slash + 1);
        if (r == 0 || total <= 0.0)
            continue; // the first round warms the file cache
        ours.push_back(generated / s);
        theirs.push_back(tokens / (total / 1000.0));
        if (eval > 0.0)
            theirsEval.push_back((tokens - 1) / (eval / 1000.0));
    }
    saved = std::cout.rdbuf(sink.rdbuf());
    llama.Shutdown();

    // How soon a stop request ends a completion: once during a long prompt
    // decode (one batch of about 2000 tokens), once during generation.
    LlamaCppConfig longConfig = config;
    // Room for the prompt and all 2048 tokens of the answer.
    longConfig.context_size = 4096;
    longConfig.batch_size = 2048;
    longConfig.max_tokens = 2048;
    LlamaCppIntegration longLlama(longConfig);
    longLlama.Initialize();
    const std::string longPrompt(2000, 'v');
    auto timed = [&](int maxTokens, int stopAfterMs) {
        return TimedWithStop(
            stopAfterMs, [&](std::atomic<bool>* stop) { longLlama.GenerateCompletion(longPrompt, maxTokens, stop); });
    };
    const double decodeMs = timed(1, -1);
    const double promptStopMs = timed(1, (int)(decodeMs / 2));
    const double generateMs = timed(2048, -1);
    const double generateStopMs = timed(2048, (int)(decodeMs + (generateMs - decodeMs) / 2));
    longLlama.Shutdown();

    // How soon a stop request ends a model load. Mapped, as the program loads
    // it, a load mostly maps the file; read into memory, a model of a few hundred
    // MB takes seconds, as a large model does on a slow disk.
    const std::string bigModel = dir + "/big.gguf";
    const std::string genBig = std::string("python3 ") + DRAVIK_GGUF_GENERATOR + " " + bigModel +
                               " --embd 1024 --layers 8 --ff 4096 --heads 8 --seed 12";
    if (std::system(genBig.c_str()) != 0)
    {
        std::cout.rdbuf(saved);
        std::cerr << "Error: model generator failed: " << genBig << std::endl;
        return 1;
    }
    const uintmax_t bigBytes = fs::file_size(bigModel);
    LlamaCppConfig loadConfig = config;
    loadConfig.model_path = bigModel;
    auto timedLoad = [&](bool mapped, int stopAfterMs) {
        loadConfig.use_mmap = mapped;
        LlamaCppIntegration big(loadConfig);
        return TimedWithStop(stopAfterMs, [&](std::atomic<bool>* stop) { big.Initialize(stop); });
    };
    timedLoad(false, -1); // warms the file cache
    const double mappedLoadMs = timedLoad(true, -1);
    const double readLoadMs = timedLoad(false, -1);
    const double loadStopMs = timedLoad(false, (int)(readLoadMs / 2));
    std::cout.rdbuf(saved);
    fs::remove_all(dir);

    const double a = Median(ours), b = Median(theirs);
    const double bestA = ours.empty() ? 0.0 : *std::max_element(ours.begin(), ours.end());
    const double bestB = theirs.empty() ? 0.0 : *std::max_element(theirs.begin(), theirs.end());
    std::printf("model: 6 layers x 256, vocabulary 260, %d threads, %d tokens, %d runs each\n", threads, tokens, runs);
    std::printf("prompt: %zu bytes; GenerateCompletion decoded %d tokens, llama-completion %d (batches of 128)\n",
                prompt.size(), promptTokens, theirPromptTokens);
    std::printf("GenerateCompletion: median %.1f, best %.1f tokens/s (last run generated %d tokens; context "
                "re-created each call)\n",
                a, bestA, generated);
    std::printf("llama-completion:   median %.1f, best %.1f tokens/s (prompt + generation; generation alone "
                "%.1f tokens/s)\n",
                b, bestB, Median(theirsEval));
    std::printf("ratio: %.3f (medians), %.3f (best runs)\n", b > 0.0 ? a / b : 0.0, bestB > 0.0 ? bestA / bestB : 0.0);
    std::printf("stop: a 2000-token prompt decodes in %.0f ms; asked half way it ends %.1f ms after the request\n",
                decodeMs, promptStopMs);
    std::printf("stop: prompt and up to 2048 tokens take %.0f ms; asked half way it ends %.1f ms after the request\n",
                generateMs, generateStopMs);
    std::printf("stop: a %ju MB model loads in %.0f ms mapped, %.0f ms read into memory; a read load asked half way "
                "ends %.1f ms after the request (its rest would take about %.0f ms)\n",
                bigBytes / 1048576, mappedLoadMs, readLoadMs, loadStopMs, readLoadMs - readLoadMs / 2);
    return 0;
}
