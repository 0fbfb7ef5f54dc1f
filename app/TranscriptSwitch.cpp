#include "app/TranscriptSwitch.h"
#include "platform/UiServices.h"
#include "platform/UserState.h"
#include "serial/SerialPort.h"
#include "serial/Transcript.h"

#include <QAction>
#include <QMenu>

CTranscriptSwitch::CTranscriptSwitch(CSerialPort& port, QObject* parent)
    : QObject(parent), m_port(port) {}

CTranscriptSwitch::~CTranscriptSwitch() {
    StopRecording();
}

void CTranscriptSwitch::AddTo(QMenu* menu) {
    m_action = menu->addAction("Record traffic(&R)...");
    m_action->setCheckable(true);
    connect(m_action, &QAction::triggered, this, &CTranscriptSwitch::OnTriggered);
    // A transcript cut by a full disk no longer records: the mark says so when the menu opens.
    connect(menu, &QMenu::aboutToShow, this, [this] { m_action->setChecked(IsRecording()); });
}

bool CTranscriptSwitch::StartRecording(const std::string& path) {
    StopRecording();
    std::string error;
    auto transcript = CTranscript::Start(path, "Vireo Manager " VIREO_VERSION, error);
    if (!transcript) {
        vireo::UiServices().MessageBox(
            "The traffic cannot be recorded into\r\n" + path + "\r\n" + error, "Record traffic",
            vireo::MsgButtons::Ok, vireo::MsgIcon::Error);
    } else {
        m_transcript = std::move(transcript);
        vireo::RememberLastTranscript(path);
        SetActiveTranscript(m_transcript);
        m_port.AnnounceToTranscript();
    }
    if (m_action)
        m_action->setChecked(IsRecording());
    return IsRecording();
}

void CTranscriptSwitch::StopRecording() {
    if (!m_transcript)
        return;
    SetActiveTranscript(nullptr);
    m_transcript->Stop();
    m_transcript.reset();
    if (m_action)
        m_action->setChecked(false);
}

bool CTranscriptSwitch::IsRecording() const {
    return m_transcript && m_transcript->Recording();
}

void CTranscriptSwitch::OnTriggered(bool checked) {
    if (!checked) {
        StopRecording();
        return;
    }
    vireo::FileDialogOptions options;
    options.filter = "Traffic transcript (*.log)|*.log|All Files(*.*)|*.*|";
    options.defaultExt = "log";
    options.initialName = "traffic.log";
    options.promptOverwrite = true;
    const std::string path = vireo::UiServices().GetSaveFileName(options);
    if (path.empty())
        m_action->setChecked(IsRecording());
    else
        StartRecording(path);
}
