#include "graph/FilterGraph.h"

#include <gst/gst.h>
#include <gst/pbutils/missing-plugins.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <optional>
#include <stdexcept>

#include "graph/AudioOutput.h"
#include "graph/ChildErrors.h"
#include "graph/DirectShowErrors.h"
#include "graph/DvdNavigator.h"
#include "graph/FfmpegDemuxers.h"
#include "graph/GraphPipeline.h"
#include "graph/PipelineWorker.h"
#include "graph/RenderWarmUp.h"

namespace {

// Long enough for a large file on a busy machine, short enough that a broken file never
// looks like a hang.
constexpr int kRenderTimeoutMs = 8000;
// How long a pipeline may stay quiet after an element's error before the error counts.
constexpr int kQuietAfterErrorMs = 500;
using TClock = std::chrono::steady_clock;

std::function<void(const std::exception&)>& ExceptionHook() {
    static std::function<void(const std::exception&)> hook;
    return hook;
}

void PassToHook(const std::exception& error) {
    if (ExceptionHook()) ExceptionHook()(error);
}

// A render that failed for want of a decoder says so, whatever the error's own words.
HRESULT RenderErrorCode(GError* error, int missingDecoders) {
    const HRESULT code = GstErrorToHResult(error);
    return missingDecoders > 0 && code == VFW_E_CANNOT_RENDER ? VFW_E_UNSUPPORTED_STREAM : code;
}

}  // namespace

void SetGraphExceptionHook(std::function<void(const std::exception&)> hook) {
    ExceptionHook() = std::move(hook);
}

int32_t LinearToDecibelVolume(int32_t value) {
    const int32_t clamped = std::clamp(value, 0, 10000);
    // nearbyint rounds to nearest with ties to even in the default rounding mode.
    return static_cast<int32_t>(std::nearbyint(std::log(clamped + 1.0) * 1085.73)) - 10000;
}

// A render waiting for its preroll.
struct TOpening {
    bool Dvd = false;
    uint32_t Flags = 0;           // the DVD render's, for its control events
    TClock::time_point Bound;     // the render's bound
    TClock::time_point Deadline;  // the bound, or sooner once an element has failed
    HRESULT Noted = S_OK;         // an error an element posted, which decodebin may keep back
    HRESULT FirstFailure = S_OK;  // the failure before the retry with FFmpeg's demuxers
    int MissingDecoders = 0;
};

struct TFilterGraphPrivate : IMediaSeeking, IBasicAudio, IBasicVideo {
    explicit TFilterGraphPrivate(TFilterGraph* owner) : Owner(owner) {
        OpeningTimer.setSingleShot(true);
        QObject::connect(&OpeningTimer, &QTimer::timeout, &Hidden, [this] { OpeningTimedOut(); });
    }

    TFilterGraph* Owner;
    TGraphMode Mode = gmNormal;
    bool LinearVolume = true;
    std::vector<IGraphMember*> Members;
    std::vector<IGraphListener*> Listeners;
    int32_t Volume = 10000;
    int32_t Balance = 0;
    double Rate = 1.0;
    bool Active = false;
    TGraphState State = gsStopped;

    // The live graph.
    std::unique_ptr<TGraphPipeline> Graph;
    std::unique_ptr<TDvdNavigator> Dvd;  // in gmDVD mode
    GstBus* Bus = nullptr;
    QObject Hidden;
    QSocketNotifier* Notifier = nullptr;
    std::deque<GstMessage*> Pending;
    std::optional<TOpening> Opening;  // the render waiting for its preroll
    QTimer OpeningTimer;              // its deadline
    AM_DVD_RENDERSTATUS DvdStatus;    // what the last DVD render reported
    unsigned Generation = 0;
    std::shared_ptr<int> AliveToken = std::make_shared<int>(0);
    // Declared last, so destroyed first: every pipeline handed to it is down before the rest goes.
    TPipelineWorker Worker;

    void Activate();
    void Deactivate();
    void AddMember(IGraphMember* member);
    void RemoveMember(IGraphMember* member);
    void SendControlEvent(TControlEvent event, intptr_t param);

    // Each returns S_OK once the render is under way, or what is known at once.
    HRESULT RenderPath(const std::string& path);
    HRESULT RenderDvd(const std::string& path, uint32_t flags);
    void StartPreroll(TOpening opening);
    void ArmOpeningTimer();
    bool OpeningMessage(GstMessage* message);
    void OpeningTimedOut();
    void PrerollDone(HRESULT result);
    void Rendered(const TOpening& opening, HRESULT result);
    HRESULT PrerollStep(GstMessage* message, int& missingDecoders);
    HRESULT SetState(GstState state);
    HRESULT TakeError();
    void KeepForLater(GstMessage* message);
    void ApplyAudioAndRate();

    void ProcessMessages();
    GstMessage* NextMessage();
    void HandleMessage(GstMessage* message);
    void Dispatch(int32_t code, intptr_t param1, intptr_t param2);
    void RunGuarded(const std::function<void()>& handler);
    void DropPending();
    void ClearSubtitle();

    HRESULT GetCurrentPosition(int64_t& position) override;
    HRESULT GetDuration(int64_t& duration) override;
    HRESULT GetStopPosition(int64_t& stop) override;
    HRESULT SetPositions(int64_t current, int64_t stop) override;
    HRESULT SetRate(double rate) override;
    HRESULT GetRate(double& rate) override;
    HRESULT put_Volume(int32_t volume) override;
    HRESULT get_Volume(int32_t& volume) override;
    HRESULT put_Balance(int32_t balance) override;
    HRESULT get_Balance(int32_t& balance) override;
    HRESULT GetVideoSize(int& width, int& height) override;
};

// ---- Activation and members ----

void TFilterGraphPrivate::Activate() {
    Graph = TGraphPipeline::Create(Mode == gmDVD ? "DVD Graph" : "Filter Graph");
    Active = true;
    ++Generation;
    if (Graph) {
        Bus = gst_element_get_bus(Graph->Pipeline());
        GPollFD pollFd;
        gst_bus_get_pollfd(Bus, &pollFd);
        Notifier = new QSocketNotifier(pollFd.fd, QSocketNotifier::Read, &Hidden);
        QObject::connect(Notifier, &QSocketNotifier::activated, &Hidden,
                         [this] { ProcessMessages(); });
        if (Mode == gmDVD)
            Dvd = std::make_unique<TDvdNavigator>(
                *Graph, [this](int32_t code, intptr_t param1, intptr_t param2) {
                    RunGuarded([&] { Dispatch(code, param1, param2); });
                });
    }
    for (IGraphMember* member : std::vector<IGraphMember*>(Members)) AddMember(member);
    // The chains are composed once, with every member in place.
    if (Graph) Graph->Refresh();
    if (Owner->OnActivate) Owner->OnActivate();
    SendControlEvent(ceActive, 1);
}

void TFilterGraphPrivate::Deactivate() {
    SendControlEvent(ceActive, 0);
    ClearSubtitle();
    // The members' elements go down with the pipeline, on the worker: taking a playing
    // pipeline down can take a while, and a filter stopped on its own while its stream waits
    // in a prerolled sink would wait for ever.
    for (IGraphMember* member : std::vector<IGraphMember*>(Members)) {
        member->NotifyFilter(foRemoving);
        member->NotifyFilter(foRemoved);
    }
    // An open under way is dropped without an outcome: a newer one has taken its place.
    Opening.reset();
    OpeningTimer.stop();
    DropPending();
    if (Notifier) {
        Notifier->setEnabled(false);
        Notifier->deleteLater();
        Notifier = nullptr;
    }
    if (Bus) gst_object_unref(Bus);
    Bus = nullptr;
    Dvd.reset();
    if (Graph)
        Worker.Post([graph = std::shared_ptr<TGraphPipeline>(std::move(Graph))]() mutable {
            graph.reset();
            // A pipeline's buffers come and go on many threads, each with its own heap; without
            // handing their free pages back, an evening of files grows the process for nothing.
            malloc_trim(0);
        });
    Active = false;
    ++Generation;
}

void TFilterGraphPrivate::AddMember(IGraphMember* member) {
    member->NotifyFilter(foAdding);
    const std::string name = member->GetName();
    GstElement* filter = member->GetFilter();
    if (filter && Graph) Graph->AddFilter(filter, name);
    member->NotifyFilter(foAdded);
}

void TFilterGraphPrivate::RemoveMember(IGraphMember* member) {
    if (Graph) Graph->Idle();
    member->NotifyFilter(foRemoving);
    GstElement* filter = member->GetFilter();
    if (filter && Graph) Graph->RemoveFilter(filter);
    member->NotifyFilter(foRemoved);
}

void TFilterGraphPrivate::SendControlEvent(TControlEvent event, intptr_t param) {
    for (IGraphListener* listener : std::vector<IGraphListener*>(Listeners))
        listener->ControlEvent(event, param);
}

// ---- Rendering and control ----

HRESULT TFilterGraphPrivate::RenderPath(const std::string& path) {
    if (!Graph) return VFW_E_CANNOT_RENDER;
    // A FIFO or a device would block the source's state change; only regular files render.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return HRESULT_FILE_NOT_FOUND;
    if (!S_ISREG(info.st_mode)) return VFW_E_INVALID_FILE_FORMAT;
    if (::access(path.c_str(), R_OK) != 0) return HRESULT_ACCESS_DENIED;
    Graph->Idle();
    DropPending();
    if (!Graph->SetFile(path)) return HRESULT_FILE_NOT_FOUND;
    StartPreroll(TOpening{});
    return S_OK;
}

HRESULT TFilterGraphPrivate::RenderDvd(const std::string& path, uint32_t flags) {
    Graph->Idle();
    DropPending();
    std::string uri;
    const HRESULT volume = DvdVolumeUri(path, uri, DvdStatus);
    if (volume != S_OK) return volume;
    Graph->SetUri(uri);
    TOpening opening;
    opening.Dvd = true;
    opening.Flags = flags;
    StartPreroll(opening);
    return S_OK;
}

// Paused with the uri set; the preroll's outcome arrives through the bus or the timer.
void TFilterGraphPrivate::StartPreroll(TOpening opening) {
    opening.Bound = TClock::now() + std::chrono::milliseconds(kRenderTimeoutMs);
    opening.Deadline = opening.Bound;
    const HRESULT started = SetState(GST_STATE_PAUSED);
    // A state change refused at once is told from the event loop too, never from the call.
    if (FAILED(started)) {
        opening.Noted = started;
        opening.Deadline = TClock::now();
    }
    Opening = opening;
    ArmOpeningTimer();
}

void TFilterGraphPrivate::ArmOpeningTimer() {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(Opening->Deadline - TClock::now());
    OpeningTimer.start(std::max<int>(0, static_cast<int>(left.count())));
}

// One message while the preroll is waited for; true when it is to be read again afterwards.
bool TFilterGraphPrivate::OpeningMessage(GstMessage* message) {
    TOpening& opening = *Opening;
    GError* error = ChildErrorOf(message);
    if (error && SUCCEEDED(opening.Noted))
        opening.Noted = RenderErrorCode(error, opening.MissingDecoders);
    // A pipeline that goes on after an element's error has found another way (a file whose
    // sound alone fails still shows its picture); one that stays quiet has not.
    if (FAILED(opening.Noted)) {
        opening.Deadline =
            std::min(opening.Bound, TClock::now() + std::chrono::milliseconds(kQuietAfterErrorMs));
        ArmOpeningTimer();
    }
    if (error) {
        g_error_free(error);
        return false;
    }
    const HRESULT result = PrerollStep(message, opening.MissingDecoders);
    if (result == S_FALSE) return true;
    PrerollDone(result);
    return false;
}

void TFilterGraphPrivate::OpeningTimedOut() {
    if (Opening) PrerollDone(FAILED(Opening->Noted) ? Opening->Noted : VFW_E_TIMEOUT);
}

// Idle again unless some stream renders; a file whose demuxer refused it is tried once more
// with FFmpeg's demuxers first, and a file neither reads keeps the first failure.
void TFilterGraphPrivate::PrerollDone(HRESULT result) {
    TOpening opening = *Opening;
    Opening.reset();
    OpeningTimer.stop();
    if (SUCCEEDED(result) && !Graph->HasStreams()) result = VFW_E_CANNOT_RENDER;
    if (FAILED(result)) Graph->Idle();
    if (!opening.Dvd && FAILED(result) && SUCCEEDED(opening.FirstFailure) &&
        IsDemuxerFailure(result) && Graph->PreferFfmpegDemuxers()) {
        DropPending();
        TOpening retry;
        retry.FirstFailure = result;
        StartPreroll(retry);
        return;
    }
    if (FAILED(result) && FAILED(opening.FirstFailure)) result = opening.FirstFailure;
    if (opening.Dvd) result = DvdRenderResult(result, opening.MissingDecoders, DvdStatus);
    Rendered(opening, result);
}

// What follows a render, then the component's event; kept messages are read after it.
void TFilterGraphPrivate::Rendered(const TOpening& opening, HRESULT result) {
    if (opening.Dvd ? result == S_OK || result == S_FALSE : SUCCEEDED(result)) {
        if (opening.Dvd) SendControlEvent(ceDVDRendered, opening.Flags);
        ApplyAudioAndRate();
        if (!opening.Dvd) SendControlEvent(ceFileRendered, 0);
    }
    const std::weak_ptr<int> alive = AliveToken;
    if (Owner->OnRendered) RunGuarded([&] { Owner->OnRendered(result); });
    if (!alive.expired() && !Pending.empty())
        QTimer::singleShot(0, &Hidden, [this] { ProcessMessages(); });
}

// What one message means to the wait for preroll: S_FALSE to go on waiting, else the result.
HRESULT TFilterGraphPrivate::PrerollStep(GstMessage* message, int& missingDecoders) {
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ERROR: {
            GError* error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            const HRESULT code = RenderErrorCode(error, missingDecoders);
            g_error_free(error);
            return code;
        }
        case GST_MESSAGE_ASYNC_DONE:
            if (GST_MESSAGE_SRC(message) != GST_OBJECT(Graph->Pipeline())) break;
            return missingDecoders > 0 && !Graph->HasStreams() ? VFW_E_UNSUPPORTED_STREAM : S_OK;
        case GST_MESSAGE_ELEMENT:
            missingDecoders += gst_is_missing_plugin_message(message) ? 1 : 0;
            break;
        default:
            break;
    }
    return S_FALSE;
}

HRESULT TFilterGraphPrivate::SetState(GstState state) {
    if (!Graph) return E_FAIL;
    if (!Graph->Rendered() && state > GST_STATE_READY) return S_OK;  // an empty graph runs
    if (gst_element_set_state(Graph->Pipeline(), state) == GST_STATE_CHANGE_FAILURE)
        return TakeError();
    State = state == GST_STATE_PLAYING  ? gsRunning
            : state == GST_STATE_PAUSED ? gsPaused
                                        : gsStopped;
    return S_OK;
}

// The first error the pipeline posted; the other messages wait for the next pass.
HRESULT TFilterGraphPrivate::TakeError() {
    HRESULT code = E_FAIL;
    while (GstMessage* message = gst_bus_pop(Bus)) {
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR && code == E_FAIL) {
            GError* error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            code = GstErrorToHResult(error);
            g_error_free(error);
            gst_message_unref(message);
        } else {
            KeepForLater(message);
        }
    }
    return code;
}

void TFilterGraphPrivate::KeepForLater(GstMessage* message) {
    Pending.push_back(message);
    if (Pending.size() == 1) QTimer::singleShot(0, &Hidden, [this] { ProcessMessages(); });
}

void TFilterGraphPrivate::ApplyAudioAndRate() {
    Owner->SetVolume(Volume);
    Owner->SetBalance(Balance);
    Owner->SetRate(Rate);
}

// ---- Events ----

void TFilterGraphPrivate::ProcessMessages() {
    const std::weak_ptr<int> alive = AliveToken;
    const unsigned generation = Generation;
    RunGuarded([&] {
        while (GstMessage* message = NextMessage()) {
            std::unique_ptr<GstMessage, decltype(&gst_message_unref)> held(message,
                                                                           gst_message_unref);
            if (!Opening)
                HandleMessage(message);
            else if (OpeningMessage(message))
                KeepForLater(held.release());
            // A handler may have closed the graph or destroyed the component.
            if (alive.expired() || generation != Generation) return;
        }
    });
    if (!alive.expired() && !Opening && !Pending.empty())
        QTimer::singleShot(0, &Hidden, [this] { ProcessMessages(); });
}

// While a render waits for its preroll the messages kept for later stay where they are.
GstMessage* TFilterGraphPrivate::NextMessage() {
    if (!Opening && !Pending.empty()) {
        GstMessage* message = Pending.front();
        Pending.pop_front();
        return message;
    }
    return Bus ? gst_bus_pop(Bus) : nullptr;
}

void TFilterGraphPrivate::HandleMessage(GstMessage* message) {
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_EOS:
            Dispatch(EC_COMPLETE, S_OK, 0);
            break;
        case GST_MESSAGE_ERROR: {
            GError* error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            const HRESULT code = GstErrorToHResult(error);
            g_error_free(error);
            Dispatch(EC_ERRORABORT, code, 0);
            break;
        }
        case GST_MESSAGE_TAG:
            if (Dvd) Dvd->Tags(message);
            break;
        case GST_MESSAGE_APPLICATION: {
            int width = 0, height = 0;
            std::string text;
            int64_t durationMs = -1;
            if (ParseVideoSizeMessage(message, width, height))
                Dispatch(EC_VIDEO_SIZE_CHANGED, (width & 0xFFFF) | ((height & 0xFFFF) << 16), 0);
            else if (ParseSubtitleMessage(message, text, durationMs) && Owner->OnSubtitle)
                Owner->OnSubtitle(text, durationMs);
            break;
        }
        default:
            break;
    }
}

void TFilterGraphPrivate::Dispatch(int32_t code, intptr_t param1, intptr_t param2) {
    for (IGraphListener* listener : std::vector<IGraphListener*>(Listeners))
        listener->GraphEvent(code, param1, param2);
    if (Owner->OnDSEvent) Owner->OnDSEvent(code, param1, param2);
    switch (code) {
        case EC_COMPLETE:
            if (Owner->OnGraphComplete)
                Owner->OnGraphComplete(static_cast<HRESULT>(param1), param2);
            break;
        case EC_VIDEO_SIZE_CHANGED:
            if (Owner->OnGraphVideoSizeChanged)
                Owner->OnGraphVideoSizeChanged(param1 & 0xFFFF, (param1 >> 16) & 0xFFFF);
            break;
        case EC_DVD_TITLE_CHANGE:
            if (Owner->OnDVDTitleChange) Owner->OnDVDTitleChange(static_cast<int>(param1));
            break;
        case EC_DVD_CHAPTER_START:
            if (Owner->OnDVDChapterStart) Owner->OnDVDChapterStart(static_cast<int>(param1));
            break;
        case EC_DVD_CURRENT_HMSF_TIME:
            if (Owner->OnDVDCurrentHMSFTime)
                Owner->OnDVDCurrentHMSFTime(static_cast<uint32_t>(param1),
                                            static_cast<uint32_t>(param2));
            break;
        default:
            break;
    }
}

// Events the component raises itself (the DVD clock, a render's outcome) take the same way to
// the exception hook as those of the pipeline's messages.
void TFilterGraphPrivate::RunGuarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        PassToHook(error);
    } catch (...) {
        PassToHook(std::runtime_error("Unknown exception in a graph event handler."));
    }
}

void TFilterGraphPrivate::DropPending() {
    for (GstMessage* message : Pending) gst_message_unref(message);
    Pending.clear();
}

// A cue still showing belongs to a stretch of the stream that no longer plays.
void TFilterGraphPrivate::ClearSubtitle() {
    if (Owner->OnSubtitle) Owner->OnSubtitle({}, -1);
}

// ---- Interfaces ----

HRESULT TFilterGraphPrivate::GetCurrentPosition(int64_t& position) {
    return Graph && Graph->Position(position) ? S_OK : E_FAIL;
}

HRESULT TFilterGraphPrivate::GetDuration(int64_t& duration) {
    return Graph && Graph->Duration(duration) ? S_OK : E_FAIL;
}

HRESULT TFilterGraphPrivate::GetStopPosition(int64_t& stop) {
    return Graph && Graph->StopPosition(stop) ? S_OK : E_FAIL;
}

HRESULT TFilterGraphPrivate::SetPositions(int64_t current, int64_t stop) {
    ClearSubtitle();
    return Graph && Graph->Seek(current, stop) ? S_OK : E_FAIL;
}

HRESULT TFilterGraphPrivate::SetRate(double rate) {
    return Graph && Graph->SetRate(rate) ? S_OK : E_FAIL;
}

HRESULT TFilterGraphPrivate::GetRate(double& rate) {
    if (!Graph) return E_FAIL;
    rate = Graph->Rate();
    return S_OK;
}

HRESULT TFilterGraphPrivate::put_Volume(int32_t volume) {
    if (!Graph) return E_FAIL;
    Graph->SetVolume(std::clamp(volume, -10000, 0));
    return S_OK;
}

HRESULT TFilterGraphPrivate::get_Volume(int32_t& volume) {
    if (!Graph) return E_FAIL;
    volume = Graph->Volume();
    return S_OK;
}

HRESULT TFilterGraphPrivate::put_Balance(int32_t balance) {
    if (!Graph) return E_FAIL;
    Graph->SetBalance(std::clamp(balance, -10000, 10000));
    return S_OK;
}

HRESULT TFilterGraphPrivate::get_Balance(int32_t& balance) {
    if (!Graph) return E_FAIL;
    balance = Graph->Balance();
    return S_OK;
}

HRESULT TFilterGraphPrivate::GetVideoSize(int& width, int& height) {
    return Graph && Graph->VideoSize(width, height) ? S_OK : VFW_E_NOT_CONNECTED;
}

// ---- The component ----

TFilterGraph::TFilterGraph() : D(std::make_unique<TFilterGraphPrivate>(this)) {
    if (!gst_is_initialized()) gst_init(nullptr, nullptr);
    WatchChildErrors();
    D->Worker.Post(ChooseAudioOutput);
}

TFilterGraph::~TFilterGraph() {
    SetActive(false);
    D->AliveToken.reset();
}

TGraphMode TFilterGraph::Mode() const {
    return D->Mode;
}

void TFilterGraph::SetMode(TGraphMode mode) {
    if (mode == D->Mode) return;
    const bool wasActive = D->Active;
    SetActive(false);
    D->Mode = mode;
    if (wasActive) SetActive(true);
}

bool TFilterGraph::Active() const {
    return D->Active;
}

void TFilterGraph::SetActive(bool flag) {
    if (flag == D->Active) return;
    if (flag)
        D->Activate();
    else
        D->Deactivate();
}

void TFilterGraph::InsertFilter(IGraphMember* member) {
    D->Members.push_back(member);
    if (D->Active) D->AddMember(member);
}

void TFilterGraph::RemoveFilter(IGraphMember* member) {
    const auto found = std::find(D->Members.begin(), D->Members.end(), member);
    if (found == D->Members.end()) return;
    D->Members.erase(found);
    if (D->Active) D->RemoveMember(member);
}

const std::vector<IGraphMember*>& TFilterGraph::Members() const {
    return D->Members;
}

void TFilterGraph::InsertEventNotifier(IGraphListener* listener) {
    D->Listeners.push_back(listener);
}

void TFilterGraph::RemoveEventNotifier(IGraphListener* listener) {
    const auto found = std::find(D->Listeners.begin(), D->Listeners.end(), listener);
    if (found != D->Listeners.end()) D->Listeners.erase(found);
}

HRESULT TFilterGraph::RenderFile(const std::string& path) {
    if (!D->Active) return S_FALSE;
    D->SendControlEvent(ceFileRendering, 0);
    return DShowCheck(D->RenderPath(path));
}

void TFilterGraph::PrepareRender(const std::string& path) {
    D->Worker.Post([path] { WarmUpRenderOf(path); });
}

HRESULT TFilterGraph::RenderDvd(const std::string& path, uint32_t flags) {
    D->DvdStatus = AM_DVD_RENDERSTATUS();
    if (!D->Active || D->Mode != gmDVD || !D->Graph) return VFW_E_DVD_RENDERFAIL;
    D->SendControlEvent(ceDVDRendering, flags);
    const HRESULT result = D->RenderDvd(path, flags);
    if (result == S_FALSE) {
        D->SendControlEvent(ceDVDRendered, flags);
        D->ApplyAudioAndRate();
    }
    return result;
}

const AM_DVD_RENDERSTATUS& TFilterGraph::DvdRenderStatus() const {
    return D->DvdStatus;
}

bool TFilterGraph::Rendering() const {
    return D->Opening.has_value();
}

bool TFilterGraph::Play() {
    if (!D->Active || !D->Graph) return false;
    D->SendControlEvent(cePlay, 0);
    DShowCheck(D->SetState(GST_STATE_PLAYING));
    return true;
}

bool TFilterGraph::Pause() {
    if (!D->Active || !D->Graph) return false;
    D->SendControlEvent(cePause, 0);
    DShowCheck(D->SetState(GST_STATE_PAUSED));
    return true;
}

bool TFilterGraph::Stop() {
    if (!D->Active || !D->Graph) return false;
    D->SendControlEvent(ceStop, 0);
    D->ClearSubtitle();
    // A render under way goes down with its pipeline, away from the caller: its source may
    // be waiting for its first bytes.
    if (D->Opening) {
        D->Deactivate();
        D->Activate();
        return true;
    }
    // Stopped keeps the file: a later Play prerolls it again from the start.
    DShowCheck(D->SetState(GST_STATE_READY));
    D->Graph->Rewound();
    return true;
}

TGraphState TFilterGraph::State() const {
    if (!D->Active || !D->Graph || !D->Graph->Rendered()) return gsStopped;
    return D->State;
}

void TFilterGraph::ClearGraph() {
    if (!D->Graph) return;
    Stop();
    DisconnectFilters();
}

void TFilterGraph::FinishTeardown() {
    D->Worker.Drain();
}

void TFilterGraph::DisconnectFilters() {
    if (!D->Graph) return;
    D->Graph->Disconnect();
}

bool TFilterGraph::LinearVolume() const {
    return D->LinearVolume;
}

void TFilterGraph::SetLinearVolume(bool flag) {
    D->LinearVolume = flag;
}

void TFilterGraph::SetVolume(int32_t value) {
    D->Volume = std::clamp(value, 0, 10000);
    if (IBasicAudio* audio = BasicAudio())
        audio->put_Volume(D->LinearVolume ? LinearToDecibelVolume(D->Volume) : D->Volume - 10000);
}

void TFilterGraph::SetBalance(int32_t value) {
    D->Balance = std::clamp(value, -10000, 10000);
    if (IBasicAudio* audio = BasicAudio()) audio->put_Balance(D->Balance);
}

void TFilterGraph::SetRate(double rate) {
    D->Rate = rate;
    if (IMediaSeeking* seeking = MediaSeeking()) seeking->SetRate(rate);
}

int32_t TFilterGraph::Volume() const {
    return D->Volume;
}

int32_t TFilterGraph::Balance() const {
    return D->Balance;
}

double TFilterGraph::Rate() const {
    return D->Rate;
}

_GstElement* TFilterGraph::Pipeline() const {
    return D->Graph ? D->Graph->Pipeline() : nullptr;
}

std::vector<std::string> TFilterGraph::FilterNames() const {
    return D->Graph ? D->Graph->FilterNames() : std::vector<std::string>();
}

std::vector<std::string> TFilterGraph::TrackNames(TTrackKind kind) const {
    return D->Graph ? D->Graph->TrackNames(kind == tkSubtitle) : std::vector<std::string>();
}

int TFilterGraph::CurrentTrack(TTrackKind kind) const {
    return D->Graph ? D->Graph->CurrentTrack(kind == tkSubtitle) : -1;
}

void TFilterGraph::SetCurrentTrack(TTrackKind kind, int index) {
    if (D->Graph) D->Graph->SetCurrentTrack(kind == tkSubtitle, index);
}

IMediaSeeking* TFilterGraph::MediaSeeking() {
    return D->Graph ? D.get() : nullptr;
}

IBasicAudio* TFilterGraph::BasicAudio() {
    return D->Graph ? D.get() : nullptr;
}

IBasicVideo* TFilterGraph::BasicVideo() {
    return D->Graph ? D.get() : nullptr;
}

IDvdControl2* TFilterGraph::DvdControl2() {
    return D->Dvd.get();
}

// ---- Filter components ----

namespace {

// The device moniker class and the category of ordinary filters.
constexpr const char* kDeviceMonikerClass = "{4315D437-5B8C-11D0-BD3B-00A0C911CE86}";
constexpr const char* kLegacyFilterPrefix = "@device:sw:{083863F1-70DE-11D0-BD40-00A0C911CE86}\\";
constexpr size_t kGuidBytes = 16;
constexpr size_t kGuidChars = 38;

void PutUint32(std::vector<uint8_t>& block, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        block.push_back(static_cast<uint8_t>(value >> shift));
}

uint32_t GetUint32(const std::vector<uint8_t>& block, size_t offset) {
    uint32_t value = 0;
    for (int index = 3; index >= 0; --index) value = value << 8 | block[offset + index];
    return value;
}

void PutGuid(std::vector<uint8_t>& block, const GUID& id) {
    PutUint32(block, id.Data1);
    for (uint16_t part : {id.Data2, id.Data3}) {
        block.push_back(static_cast<uint8_t>(part));
        block.push_back(static_cast<uint8_t>(part >> 8));
    }
    block.insert(block.end(), std::begin(id.Data4), std::end(id.Data4));
}

std::string DisplayName(const CLSID& classId) {
    return kLegacyFilterPrefix + GUIDToString(classId);
}

}  // namespace

std::vector<uint8_t> DeviceMonikerBlock(const CLSID& classId) {
    const std::string name = DisplayName(classId);
    const uint32_t nameBytes = static_cast<uint32_t>((name.size() + 1) * 2);
    std::vector<uint8_t> block;
    PutUint32(block, static_cast<uint32_t>(kGuidBytes + 4 + nameBytes));
    PutGuid(block, StringToGUID(kDeviceMonikerClass));
    PutUint32(block, nameBytes);
    // The name is ASCII, so each UTF-16LE unit is the byte and a zero.
    for (char c : name) block.insert(block.end(), {static_cast<uint8_t>(c), 0});
    block.insert(block.end(), {0, 0});
    return block;
}

CLSID MonikerBlockClassId(const std::vector<uint8_t>& block) {
    const auto invalid = [] { return std::invalid_argument("Not a filter moniker block."); };
    if (block.size() < 24 || GetUint32(block, 0) != block.size() - 4) throw invalid();
    std::vector<uint8_t> monikerClass;
    PutGuid(monikerClass, StringToGUID(kDeviceMonikerClass));
    if (!std::equal(monikerClass.begin(), monikerClass.end(), block.begin() + 4)) throw invalid();
    const uint32_t nameBytes = GetUint32(block, 20);
    if (nameBytes != block.size() - 24 || nameBytes % 2 != 0) throw invalid();
    std::string name;
    for (size_t offset = 24; offset + 1 < block.size(); offset += 2) {
        if (block[offset + 1] != 0 || block[offset] > 0x7F) throw invalid();
        if (block[offset] == 0) break;
        name.push_back(static_cast<char>(block[offset]));
    }
    const std::string prefix = kLegacyFilterPrefix;
    if (name.size() != prefix.size() + kGuidChars || name.compare(0, prefix.size(), prefix) != 0)
        throw invalid();
    return StringToGUID(name.substr(prefix.size()));
}

TFilter::TFilter(std::string name) : FName(std::move(name)) {}

TFilter::~TFilter() {
    SetFilterGraph(nullptr);
    Release();
}

void TFilter::SetFilterGraph(TFilterGraph* graph) {
    if (FFilterGraph) FFilterGraph->RemoveFilter(this);
    FFilterGraph = graph;
    if (FFilterGraph) FFilterGraph->InsertFilter(this);
}

_GstElement* TFilter::GetFilter() {
    return FFilter;
}

std::string TFilter::GetName() {
    return FName;
}

void TFilter::NotifyFilter(TFilterOperation operation) {
    switch (operation) {
        case foAdding:
            Release();
            try {
                FFilter = CreateFilterInstance(MonikerBlockClassId(FBaseFilter));
            } catch (const std::invalid_argument&) {
                FFilter = nullptr;  // no identity: a filter that is not installed
            }
            if (FFilter) gst_object_ref_sink(FFilter);
            break;
        case foRemoving:
            // An element still in a pipeline goes down with it.
            if (FFilter && !GST_OBJECT_PARENT(FFilter)) {
                GstState state = GST_STATE_NULL;
                gst_element_get_state(FFilter, &state, nullptr, 0);
                if (state >= GST_STATE_PAUSED) gst_element_set_state(FFilter, GST_STATE_NULL);
            }
            break;
        case foRemoved:
            Release();
            break;
        case foRefresh:
            if (FFilterGraph) {
                FFilterGraph->RemoveFilter(this);
                FFilterGraph->InsertFilter(this);
            }
            break;
        case foAdded:
            break;
    }
}

void TFilter::Release() {
    if (!FFilter) return;
    if (!GST_OBJECT_PARENT(FFilter)) gst_element_set_state(FFilter, GST_STATE_NULL);
    gst_object_unref(FFilter);
    FFilter = nullptr;
}
