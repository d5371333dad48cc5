// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/historyimport.h"

#include "reports/metarencoder.h"
#include "reports/weatherpacketscanner.h"
#include "storage/csvlog.h"
#include "storage/datafolder.h"
#include "weather/weatherparser.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace {

constexpr int kBatchEntries = 5000;

// The columns of the CSV weather log that the store keeps.
enum CsvColumn
{
    kTimestamp = 0,
    kMetar = 1,
    kWindDir = 2,
    kWindSpeed = 3,
    kGustDir = 4,
    kGustSpeed = 5,
    kVisibility = 6,
    kPresentWeather = 7,
    kPrecip = 8,
    kCloudLayers = 9,
    kTemperature = 11,
    kDewPoint = 12,
    kHumidity = 13,
    kWindChill = 14,
    kHeatIndex = 15,
    kLat = 16,
    kLon = 17,
    kAltimeter = 18,
    kStationPressure = 20,
    kLightningDistance = 24,
    kVoltage = 27,
    kMode = 28,
    kInterference = 29,
};

// Splits one CSV record at commas outside quotes; quotes are removed and
// doubled quotes kept once.
QVector<QString> splitRecord(const QByteArray &record)
{
    QVector<QString> fields;
    QByteArray current;
    bool quoted = false;
    for (int i = 0; i < record.size(); ++i) {
        const char c = record.at(i);
        if (c == '"') {
            if (quoted && i + 1 < record.size() && record.at(i + 1) == '"') {
                current += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (c == ',' && !quoted) {
            fields.append(QString::fromUtf8(current));
            current.clear();
        } else {
            current += c;
        }
    }
    fields.append(QString::fromUtf8(current));
    return fields;
}

std::optional<double> number(const QString &text)
{
    double value = 0;
    if (text.isEmpty() || !WeatherParser::readNumber(text, &value))
        return std::nullopt;
    return value;
}

// "<unit>_yyyy-MM.csv" gives the unit.
QString unitOfCsvLog(const QString &path)
{
    const QString base = QFileInfo(path).completeBaseName();
    const int cut = base.lastIndexOf(QLatin1Char('_'));
    return DataFolder::unitName(cut > 0 ? base.left(cut) : QString());
}

} // namespace

HistoryImport::HistoryImport(HistoryStore *store, QObject *parent) : QObject(parent), m_store(store)
{
    qRegisterMetaType<HistoryImport::Summary>();
}

HistoryImport::~HistoryImport() = default;

QStringList HistoryImport::csvLogs(const QString &csvFolder)
{
    QStringList files;
    const QDir dir(csvFolder);
    // The month in the name sorts the files of a unit oldest first.
    const QStringList names =
        dir.entryList({QStringLiteral("*.csv")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString &name : names)
        files << dir.filePath(name);
    return files;
}

bool HistoryImport::isNeeded(const HistoryStore &store)
{
    return store.isOpen() && store.units().isEmpty();
}

bool HistoryImport::parseCsvRow(const QByteArray &record, const QString &unit, HistoryStore::Entry *entry)
{
    QVector<QString> f = splitRecord(record);
    if (f.size() < CsvLog::kColumns || f.at(kTimestamp) == QLatin1String("Timestamp (UTC)"))
        return false;
    // Older logs wrote "3900, 10000" into the cloud-layer column unquoted.
    if (f.size() > CsvLog::kColumns)
        f.remove(kCloudLayers + 1, f.size() - CsvLog::kColumns);

    Observation &o = entry->observation;
    o = Observation();
    o.stationTime = QDateTime::fromString(f.at(kTimestamp), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (!o.stationTime.isValid())
        return false;
    o.stationTime.setTimeSpec(Qt::UTC);
    o.imei = unit;
    o.metar = f.at(kMetar);
    o.windDirDeg = number(f.at(kWindDir));
    o.windSpeedKt = number(f.at(kWindSpeed));
    o.gustDirDeg = number(f.at(kGustDir));
    o.gustSpeedKt = number(f.at(kGustSpeed));
    o.visibilityMi = number(f.at(kVisibility));
    o.presentWeather = f.at(kPresentWeather);
    o.precipInHr = number(f.at(kPrecip));
    o.temperatureC = number(f.at(kTemperature));
    o.dewPointC = number(f.at(kDewPoint));
    o.relativeHumidity = number(f.at(kHumidity));
    o.windChillC = number(f.at(kWindChill));
    o.heatIndexC = number(f.at(kHeatIndex));
    o.latitudeDeg = number(f.at(kLat));
    o.longitudeDeg = number(f.at(kLon));
    o.altimeterInHg = number(f.at(kAltimeter));
    o.stationPressureInHg = number(f.at(kStationPressure));
    o.lightningDistanceMi = number(f.at(kLightningDistance));
    o.voltageV = number(f.at(kVoltage));
    o.reportingMode = f.at(kMode);
    entry->interfered.reset();
    if (f.at(kInterference) == QLatin1String("Interference"))
        entry->interfered = true;
    else if (f.at(kInterference) == QLatin1String("OK"))
        entry->interfered = false;
    entry->timeFromPc = false;
    return true;
}

void HistoryImport::begin(const QStringList &files)
{
    m_files = files;
    m_next = 0;
    m_summary = Summary();
    m_totalBytes = 0;
    m_doneBytes = 0;
    m_failed = false;
    for (const QString &path : files)
        m_totalBytes += QFileInfo(path).size();
    m_running = true;
}

void HistoryImport::start(const QStringList &files)
{
    if (m_running)
        return;
    begin(files);
    emit progress(0, m_totalBytes);
    scheduleStep();
}

HistoryImport::Summary HistoryImport::run(const QStringList &files)
{
    begin(files);
    while (step()) {
    }
    return m_summary;
}

void HistoryImport::scheduleStep()
{
    QTimer::singleShot(0, this, [this] {
        if (!m_running)
            return;
        if (step())
            scheduleStep();
    });
}

void HistoryImport::cancel()
{
    if (!m_running)
        return;
    m_summary.cancelled = true;
    end();
}

bool HistoryImport::openNext()
{
    while (m_next < m_files.size()) {
        const QString path = m_files.at(m_next++);
        m_file.setFileName(path);
        if (!QFileInfo(path).isFile() || !m_file.open(QIODevice::ReadOnly)) {
            m_summary.errors << QStringLiteral("cannot read %1: %2").arg(path, m_file.errorString());
            m_doneBytes += QFileInfo(path).size();
            continue;
        }
        ++m_summary.files;
        m_csv = path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
        m_unit = m_csv ? unitOfCsvLog(path) : QString();
        m_carry.clear();
        m_scanner = m_csv ? nullptr : std::make_unique<WeatherPacketScanner>();
        return true;
    }
    return false;
}

bool HistoryImport::step()
{
    if (!m_running)
        return false;
    if (!m_file.isOpen() && !openNext()) {
        end();
        return false;
    }
    const QByteArray bytes = m_file.read(kSliceBytes);
    const bool atEnd = bytes.size() < kSliceBytes || m_file.atEnd();
    if (bytes.isEmpty() && m_file.error() != QFileDevice::NoError)
        m_summary.errors << QStringLiteral("cannot read %1: %2").arg(m_file.fileName(), m_file.errorString());
    m_doneBytes += bytes.size();
    if (m_csv)
        importCsv(bytes, atEnd);
    else
        importRaw(bytes, atEnd);
    flush();
    if (atEnd)
        finishFile();
    if (m_failed) {
        end();
        return false;
    }
    emit progress(m_doneBytes, m_totalBytes);
    return true;
}

void HistoryImport::finishFile()
{
    m_file.close();
    m_scanner.reset();
    m_carry.clear();
}

void HistoryImport::importCsv(const QByteArray &bytes, bool atEnd)
{
    m_carry += bytes;
    int recordStart = 0;
    bool quoted = false;
    for (int i = 0; i < m_carry.size(); ++i) {
        const char c = m_carry.at(i);
        if (c == '"') {
            quoted = !quoted;
        } else if (c == '\n' && !quoted) {
            int end = i;
            if (end > recordStart && m_carry.at(end - 1) == '\r')
                --end;
            const QByteArray record = m_carry.mid(recordStart, end - recordStart);
            recordStart = i + 1;
            if (record.isEmpty() || record.startsWith("Timestamp (UTC),"))
                continue;
            HistoryStore::Entry entry;
            ++m_summary.packets;
            if (parseCsvRow(record, m_unit, &entry))
                m_batch.push_back(entry);
            else
                ++m_summary.skipped;
        }
    }
    m_carry.remove(0, recordStart);
    if (m_carry.size() > kMaxRecordBytes || (atEnd && !m_carry.isEmpty())) {
        HistoryStore::Entry entry;
        ++m_summary.packets;
        if (atEnd && m_carry.size() <= kMaxRecordBytes && parseCsvRow(m_carry, m_unit, &entry))
            m_batch.push_back(entry);
        else
            ++m_summary.skipped;
        m_carry.clear();
    }
}

void HistoryImport::importRaw(const QByteArray &bytes, bool atEnd)
{
    m_scanner->feed(bytes);
    if (atEnd)
        m_scanner->finish();
    WeatherParser parser;
    const QVector<WeatherPacketScanner::Entry> found = m_scanner->takeEntries();
    for (const WeatherPacketScanner::Entry &packet : found) {
        ++m_summary.packets;
        if (packet.damage != WeatherPacketScanner::Damage::None) {
            ++m_summary.skipped;
            continue;
        }
        parser.setPacketText(QString::fromUtf8(packet.packet));
        HistoryStore::Entry entry;
        const WeatherValues values = parser.values();
        entry.observation = Observation::fromValues(values, MetarEncoder::getMetar(values), QDateTime());
        // A raw log keeps no receive time in UTC: without the station's
        // own time the packet cannot be placed.
        if (!entry.observation.stationTime.isValid()) {
            ++m_summary.skipped;
            continue;
        }
        m_batch.push_back(entry);
        if (m_batch.size() >= size_t(kBatchEntries))
            flush();
    }
}

void HistoryImport::flush()
{
    if (m_batch.empty() || m_failed)
        return;
    const int added = m_store->recordAll(m_batch);
    m_batch.clear();
    if (added < 0) {
        m_summary.errors
            << QStringLiteral("the history store cannot be written: %1").arg(m_store->errorText());
        m_failed = true;
        return;
    }
    m_summary.added += added;
}

void HistoryImport::end()
{
    if (m_file.isOpen())
        finishFile();
    m_batch.clear();
    m_running = false;
    emit progress(m_doneBytes, m_totalBytes);
    emit finished(m_summary);
}
