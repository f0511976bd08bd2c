'''NetworkManager of the simulated board, for python-dbusmock.

Builds on dbusmock's "networkmanager" template and adds what the unit's LAN settings use:
- devices "eth0" and "eth1" with their IPv4 configuration objects, the "Autoconnect" property
  and the "Disconnect" method;
- profiles "Wired connection 1" (eth0, DHCP) and "Wired connection 2" (eth1, static
  198.51.100.20/24, link down so that no configuration is in use);
- "Update", "UpdateUnsaved" and "Update2" on profiles;
- when a link is restarted (Disconnect), the profile is applied again: a static profile gives its
  own address, a DHCP profile the lease of its network (192.0.2.10/24 on eth0, 198.51.100.10/24
  on eth1). The mock-only property "Restarts" of com.orva.Sim on each device counts restarts.
Start: python3 -m dbusmock --template sim/nm_template.py  (on the bus named by
DBUS_SYSTEM_BUS_ADDRESS).
'''
import dbus
import dbusmock
from dbusmock.templates import networkmanager as nm

BUS_NAME = nm.BUS_NAME
MAIN_OBJ = nm.MAIN_OBJ
MAIN_IFACE = nm.MANAGER_IFACE
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

IP4_IFACE = 'org.freedesktop.NetworkManager.IP4Config'
SIM_IFACE = 'com.orva.Sim'

LEASES = {
    'eth0': ('192.0.2.10', 24, '192.0.2.1'),
    'eth1': ('198.51.100.10', 24, '198.51.100.1'),
}
MACS = {'eth0': '02:00:5E:00:00:10', 'eth1': '02:00:5E:00:00:11'}


def ip4_props(address, prefix, gateway):
    data = dbus.Array([], signature='a{sv}')
    legacy = dbus.Array([], signature='au')
    if address:
        data.append(dbus.Dictionary({'address': dbus.String(address), 'prefix': dbus.UInt32(prefix)},
                                    signature='sv'))
    return {
        'AddressData': data,
        'Addresses': legacy,
        'Gateway': dbus.String(gateway or ''),
        'RouteData': dbus.Array([], signature='a{sv}'),
        'Routes': dbus.Array([], signature='au'),
        'NameserverData': dbus.Array([], signature='a{sv}'),
        'Nameservers': dbus.Array([], signature='u'),
        'Domains': dbus.Array([], signature='s'),
        'Searches': dbus.Array([], signature='s'),
        'DnsOptions': dbus.Array([], signature='s'),
        'DnsPriority': dbus.Int32(0),
        'WinsServerData': dbus.Array([], signature='s'),
        'WinsServers': dbus.Array([], signature='u'),
    }


def profile_address(settings):
    '''The static address, prefix and gateway of a profile's ipv4 setting, or None for DHCP.'''
    ipv4 = settings.get('ipv4', {})
    if str(ipv4.get('method', 'auto')) != 'manual':
        return None
    address, prefix = '', 0
    data = ipv4.get('address-data', [])
    if len(data) > 0:
        address, prefix = str(data[0]['address']), int(data[0]['prefix'])
    elif len(ipv4.get('addresses', [])) > 0:
        raw = ipv4['addresses'][0]
        address = '.'.join(str((int(raw[0]) >> s) & 255) for s in (0, 8, 16, 24))
        prefix = int(raw[1])
    return address, prefix, str(ipv4.get('gateway', ''))


def apply_profile(device):
    '''Brings the link up again with what its profile says.'''
    conn = dbusmock.get_object(device.profile_path)
    static = profile_address(conn.settings)
    address, prefix, gateway = static if static else LEASES[device.iface]
    config = dbusmock.get_object(device.ip4_path)
    for name, value in ip4_props(address, prefix, gateway).items():
        config.Set(IP4_IFACE, name, value)
    device.Set(nm.DEVICE_IFACE, 'Ip4Config', dbus.ObjectPath(device.ip4_path))
    device.Set(nm.DEVICE_IFACE, 'State', dbus.UInt32(100))
    device.Set(SIM_IFACE, 'Restarts', dbus.UInt32(device.Get(SIM_IFACE, 'Restarts') + 1))


def update_profile(conn, settings):
    '''Replaces the profile's settings, as NetworkManager's Update does.'''
    merged = {}
    for name, values in settings.items():
        merged[name] = dict(values)
    merged.setdefault('connection', {}).update(
        {k: v for k, v in conn.settings['connection'].items() if k not in merged['connection']})
    conn.settings = merged
    conn.EmitSignal(nm.CSETTINGS_IFACE, 'Updated', '', [])


def add_unit_device(mock, iface, profile_name, ipv4, up):
    path = nm.AddEthernetDevice(mock, iface, iface, 100 if up else 30)
    device = dbusmock.get_object(path)
    device.iface = iface
    device.Set('org.freedesktop.NetworkManager.Device.Wired', 'HwAddress', MACS[iface])
    device.AddProperties(nm.DEVICE_IFACE, {
        'Autoconnect': dbus.Boolean(True),
        'HwAddress': dbus.String(MACS[iface]),
        'Ip4Config': dbus.ObjectPath('/'),
        'Udi': dbus.String('/sys/devices/virtual/net/' + iface),
        'Capabilities': dbus.UInt32(3),
        'Mtu': dbus.UInt32(1500),
        'Real': dbus.Boolean(True),
    })
    device.AddProperties(SIM_IFACE, {'Restarts': dbus.UInt32(0)})

    ip4_path = '/org/freedesktop/NetworkManager/IP4Config/' + iface
    mock.AddObject(ip4_path, IP4_IFACE, ip4_props('', 0, ''), [])
    mock.object_manager_emit_added(ip4_path)
    device.ip4_path = ip4_path

    settings = dbus.Dictionary({
        'connection': dbus.Dictionary({'id': dbus.String(profile_name), 'type': dbus.String('802-3-ethernet'),
                                       'interface-name': dbus.String(iface),
                                       'uuid': dbus.String('0ba7a000-0000-4000-8000-00000000000' + iface[-1])},
                                      signature='sv'),
        '802-3-ethernet': dbus.Dictionary({}, signature='sv'),
        'ipv4': ipv4,
    }, signature='sa{sv}')
    profile_path = nm.SettingsAddConnection(dbusmock.get_object(nm.SETTINGS_OBJ), settings)
    conn = dbusmock.get_object(profile_path)
    conn.AddMethods(nm.CSETTINGS_IFACE, [
        ('Update', 'a{sa{sv}}', '', 'self.update_profile(self, args[0])'),
        ('UpdateUnsaved', 'a{sa{sv}}', '', 'self.update_profile(self, args[0])'),
        ('Update2', 'a{sa{sv}}ua{sv}', 'a{sv}', 'self.update_profile(self, args[0]); ret = {}'),
    ])
    conn.update_profile = update_profile
    device.profile_path = profile_path
    device.Set(nm.DEVICE_IFACE, 'AvailableConnections', dbus.Array([dbus.ObjectPath(profile_path)], signature='o'))

    device.apply_profile = apply_profile
    device.AddMethods(nm.DEVICE_IFACE, [
        ('Disconnect', '', '', 'self.Set("%s", "State", dbus.UInt32(30)); self.apply_profile(self)' % nm.DEVICE_IFACE),
    ])
    if up:
        apply_profile(device)
        device.Set(SIM_IFACE, 'Restarts', dbus.UInt32(0))


def load(mock, parameters):
    parameters = dict(parameters)
    parameters.setdefault('Version', '1.42.4')
    # A unit in its own network namespace leases the addresses of its links there:
    # parameters "lease_eth0" / "lease_eth1" = "address/prefix/gateway".
    for iface in ('eth0', 'eth1'):
        lease = parameters.pop('lease_' + iface, None)
        if lease:
            address, prefix, gateway = str(lease).split('/')
            LEASES[iface] = (address, int(prefix), gateway)
    nm.load(mock, parameters)
    add_unit_device(mock, 'eth0', 'Wired connection 1',
                    dbus.Dictionary({'method': dbus.String('auto')}, signature='sv'), True)
    add_unit_device(mock, 'eth1', 'Wired connection 2',
                    dbus.Dictionary({
                        'method': dbus.String('manual'),
                        'address-data': dbus.Array([dbus.Dictionary({'address': dbus.String('198.51.100.20'),
                                                                     'prefix': dbus.UInt32(24)}, signature='sv')],
                                                   signature='a{sv}'),
                        'gateway': dbus.String('198.51.100.1'),
                    }, signature='sv'), False)
