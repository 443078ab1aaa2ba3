#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair: bytes written to the master arrive at the slave as
// from a serial line. The master end is what an indicator would drive.
class PtyPair {
public:
    // Throws std::runtime_error when no pseudo-terminal can be made.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int master() const { return m_master; }
    int slave() const { return m_slave; }
    QString slavePath() const { return m_slavePath; }
    // Writes all of `bytes` to the master; false on failure.
    bool write(const QByteArray& bytes);
    // Hangs up the line, as unplugging an adapter does.
    void closeMaster();
    // The pair keeps its own slave descriptor so that the line survives a
    // program closing the port; a test of the hang-up path lets it go.
    void closeSlave();
    // Bytes waiting at the slave end, -1 on failure.
    int slaveWaiting() const;

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
