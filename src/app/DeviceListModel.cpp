#include "DeviceListModel.h"

namespace veloxa {

DeviceListModel::DeviceListModel(bool thisDeviceFirst, QObject* parent)
    : QAbstractListModel(parent), m_thisDeviceFirst(thisDeviceFirst) {}

void DeviceListModel::setDevices(const QList<DeviceSummary>& devices,
                                 const QString& thisDeviceUuid) {
    QList<DeviceSummary> wanted = devices;
    if (m_thisDeviceFirst)
        std::stable_partition(wanted.begin(), wanted.end(), [&](const DeviceSummary& d) {
            return d.deviceUuid == thisDeviceUuid;
        });
    const bool thisDeviceChanged = std::exchange(m_thisDevice, thisDeviceUuid) != thisDeviceUuid;
    // Row by row, a row keeping its device's identity, so a view keeps its delegates (and
    // the focus in them) across a refresh: only what changed is announced.
    for (qsizetype row = m_devices.size() - 1; row >= 0; --row) {
        const QString& id = m_devices[row].deviceUuid;
        if (std::none_of(wanted.cbegin(), wanted.cend(),
                         [&](const DeviceSummary& d) { return d.deviceUuid == id; })) {
            beginRemoveRows({}, int(row), int(row));
            m_devices.removeAt(row);
            endRemoveRows();
        }
    }
    for (qsizetype row = 0; row < wanted.size(); ++row) {
        const auto from = std::find_if(
            m_devices.cbegin() + std::min(row, m_devices.size()), m_devices.cend(),
            [&](const DeviceSummary& d) { return d.deviceUuid == wanted[row].deviceUuid; });
        if (from == m_devices.cend()) {
            beginInsertRows({}, int(row), int(row));
            m_devices.insert(row, wanted[row]);
            endInsertRows();
            continue;
        }
        if (const qsizetype at = from - m_devices.cbegin(); at != row) {
            beginMoveRows({}, int(at), int(at), {}, int(row));
            m_devices.move(at, row);
            endMoveRows();
        }
        if (!(m_devices[row] == wanted[row])) {
            m_devices[row] = wanted[row];
            emit dataChanged(index(int(row)), index(int(row)));
        }
    }
    if (m_devices.size() > wanted.size()) { // a device the service listed twice before
        beginRemoveRows({}, int(wanted.size()), int(m_devices.size() - 1));
        m_devices.resize(wanted.size());
        endRemoveRows();
    }
    if (thisDeviceChanged && !m_devices.isEmpty())
        emit dataChanged(index(0), index(int(m_devices.size() - 1)), {isThisDeviceRole});
}

int DeviceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_devices.size());
}

QVariant DeviceListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_devices.size())
        return {};
    const DeviceSummary& d = m_devices[index.row()];
    switch (role) {
    case deviceUuidRole:
        return d.deviceUuid;
    case deviceNameRole:
        return d.deviceName;
    case platformRole:
        return d.platform;
    case isThisDeviceRole:
        return d.deviceUuid == m_thisDevice;
    default:
        return {};
    }
}

QHash<int, QByteArray> DeviceListModel::roleNames() const {
    return {{deviceUuidRole, "deviceUuid"},
            {deviceNameRole, "deviceName"},
            {platformRole, "platform"},
            {isThisDeviceRole, "isThisDevice"}};
}

} // namespace veloxa
