// The window's traffic transcript: the checkable "Record traffic..." entry of the system menu
// and the manager's --log option. Checking the entry asks where the file goes; unchecking it
// ends the file. A file that cannot be written is refused with a message box, and the
// session goes on without a transcript.
#pragma once

#include <QObject>
#include <memory>
#include <string>

class CSerialPort;
class CTranscript;
class QAction;
class QMenu;

class CTranscriptSwitch : public QObject {
public:
    CTranscriptSwitch(CSerialPort& port, QObject* parent);
    ~CTranscriptSwitch() override;

    // Adds the checkable entry to menu; its check mark follows the recording.
    void AddTo(QMenu* menu);
    // Starts recording into path (replacing a transcript under way); false, after a message
    // box that says why, when the file cannot be written.
    bool StartRecording(const std::string& path);
    void StopRecording();
    // True while the file is being written (not after a write error cut it).
    bool IsRecording() const;
    QAction* Action() const { return m_action; }

private:
    void OnTriggered(bool checked);

    CSerialPort& m_port;
    QAction* m_action = nullptr;
    std::shared_ptr<CTranscript> m_transcript;
};
