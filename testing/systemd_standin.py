#!/usr/bin/python3
"""A stand-in for systemd's service manager on a private system bus, for tests and demos.

It works on python3-dbusmock's "systemd" template (started with
`/usr/bin/python3 -m dbusmock --template systemd`), whose unit methods cannot hold unit names
with "\\x20" and lack LoadUnit; it replaces them at run time, through
org.freedesktop.DBus.Mock.AddMethod, with methods that behave as systemd's do.

  systemd_standin.py install UNIT...   wait for the mock on the bus that DBUS_SYSTEM_BUS_ADDRESS
                                       names, replace its methods and add the units
  systemd_standin.py serve DIR UNIT... start a private bus (socket in DIR) and the mock on it,
                                       install the units, print the bus address and run until
                                       interrupted
  systemd_standin.py state SERVICE     print the ActiveState of a service's unit

A UNIT is "SERVICE NAME=ACTIVESTATE[,FLAG...]", for instance "Narvel Server=active". Flags:
masked (LoadState "masked": a start is refused), refuse-stop (RefuseManualStop: a stop is
refused), deny (start and stop are denied) and hang=SECONDS (start and stop answer late).
"""

import os
import signal
import subprocess
import sys
import time

import dbus

SYSTEMD = 'org.freedesktop.systemd1'
MANAGER_PATH = '/org/freedesktop/systemd1'
MANAGER = 'org.freedesktop.systemd1.Manager'
MOCK = 'org.freedesktop.DBus.Mock'
SETUP = 'org.toverak.StandIn'

# The unit methods, as they run inside the mock: `mock` is its manager object.
UNIT_METHODS = r'''
import time
import dbus
from dbusmock import mockobject

UNIT = 'org.freedesktop.systemd1.Unit'
UNIT_PREFIX = '/org/freedesktop/systemd1/unit/'
NAME_BYTES = set(b'abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789:-_.\\@')


def fail(error, message):
    raise dbus.exceptions.DBusException(message, name=error)


def unit_path(name):
    """The object path of a unit, escaped as systemd escapes it: bytes outside [A-Za-z0-9]
    become _xx."""
    label = ''.join(chr(b) if chr(b).isascii() and chr(b).isalnum() else '_%02x' % b
                    for b in name.encode())
    return UNIT_PREFIX + (label or '_')


def check_name(name):
    stem, _, suffix = name.rpartition('.')
    if len(name) > 255 or not stem or suffix != 'service' or not set(stem.encode()) <= NAME_BYTES:
        fail('org.freedesktop.DBus.Error.InvalidArgs', f'Unit name {name} is not valid.')


def add_unit(mock, name, load_state, active_state, flags):
    path = unit_path(name)
    mock.AddObject(path, UNIT, {'Id': name, 'Names': [name], 'LoadState': load_state,
                                'ActiveState': active_state}, [])
    mock.standin_units[name] = {'path': path, 'flags': flags}
    return path


def unit_props(mock, name):
    return mockobject.objects[mock.standin_units[name]['path']].props[UNIT]


def load_unit(mock, name):
    """Like systemd, loading an unknown unit gives a unit whose LoadState is "not-found"."""
    check_name(name)
    if name not in mock.standin_units:
        add_unit(mock, name, 'not-found', 'inactive', {})
    return mock.standin_units[name]['path']


def get_unit(mock, name):
    check_name(name)
    if name not in mock.standin_units:
        fail('org.freedesktop.systemd1.NoSuchUnit', f'Unit {name} not loaded.')
    return mock.standin_units[name]['path']


def queue_job(mock, name, verb):
    check_name(name)
    if name not in mock.standin_units or unit_props(mock, name)['LoadState'] == 'not-found':
        fail('org.freedesktop.systemd1.NoSuchUnit', f'Unit {name} not found.')
    flags = mock.standin_units[name]['flags']
    time.sleep(float(flags.get('hang', 0)))
    if 'deny' in flags:
        fail('org.freedesktop.DBus.Error.AccessDenied', 'Access denied')
    if verb == 'start' and unit_props(mock, name)['LoadState'] == 'masked':
        fail('org.freedesktop.systemd1.UnitMasked', f'Unit {name} is masked.')
    if verb == 'stop' and 'refuse-stop' in flags:
        fail('org.freedesktop.systemd1.OnlyByDependency',
             f'Operation refused, unit {name} may be requested by dependency only '
             '(it is configured to refuse manual start/stop).')
    mockobject.objects[mock.standin_units[name]['path']].UpdateProperties(
        UNIT, {'ActiveState': 'active' if verb == 'start' else 'inactive'})
    mock.standin_jobs += 1
    return f'/org/freedesktop/systemd1/job/{mock.standin_jobs}'
'''

SETUP_CODE = ('self.standin = {}\n'
              f'exec({UNIT_METHODS!r}, self.standin)\n'
              'self.standin_units = {}\n'
              'self.standin_jobs = 0\n')

METHODS = [
    ('LoadUnit', 's', 'o', "ret = self.standin['load_unit'](self, str(args[0]))"),
    ('GetUnit', 's', 'o', "ret = self.standin['get_unit'](self, str(args[0]))"),
    ('StartUnit', 'ss', 'o', "ret = self.standin['queue_job'](self, str(args[0]), 'start')"),
    ('StopUnit', 'ss', 'o', "ret = self.standin['queue_job'](self, str(args[0]), 'stop')"),
    ('AddStandInUnit', 'sssa{ss}', '',
     "self.standin['add_unit'](self, str(args[0]), str(args[1]), str(args[2]), "
     "{str(k): str(v) for k, v in args[3].items()})"),
]


def unit_name(service):
    """systemd's escaping of a service name (as systemd-escape does it), plus ".service"."""
    kept = set(b'abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789:_.')
    out = ''
    for at, b in enumerate(service.encode()):
        if b == ord('/'):
            out += '-'
        elif b in kept and not (at == 0 and b == ord('.')):
            out += chr(b)
        else:
            out += '\\x%02x' % b
    return out + '.service'


def parse_unit(description):
    service, _, rest = description.partition('=')
    active_state, *flag_texts = rest.split(',')
    flags = dict((text.partition('=')[0], text.partition('=')[2]) for text in flag_texts)
    load_state = 'masked' if 'masked' in flags else 'loaded'
    return unit_name(service), load_state, active_state or 'inactive', flags


def wait_for_manager(bus, seconds=20):
    """Polls until the mock owns systemd's name on the bus."""
    deadline = time.monotonic() + seconds
    while not bus.name_has_owner(SYSTEMD):
        if time.monotonic() > deadline:
            sys.exit('systemd_standin: the mock did not appear on the bus')
        time.sleep(0.05)


def install(descriptions):
    bus = dbus.SystemBus()
    wait_for_manager(bus)
    manager = bus.get_object(SYSTEMD, MANAGER_PATH)
    mock = dbus.Interface(manager, MOCK)
    mock.AddMethod(SETUP, 'Setup', '', '', SETUP_CODE)
    dbus.Interface(manager, SETUP).Setup()
    for name, in_sig, out_sig, code in METHODS:
        mock.AddMethod(MANAGER, name, in_sig, out_sig, code)
    for description in descriptions:
        name, load_state, active_state, flags = parse_unit(description)
        dbus.Interface(manager, MANAGER).AddStandInUnit(name, load_state, active_state,
                                                        dbus.Dictionary(flags, signature='ss'))


def state(service):
    bus = dbus.SystemBus()
    manager = dbus.Interface(bus.get_object(SYSTEMD, MANAGER_PATH), MANAGER)
    unit = bus.get_object(SYSTEMD, manager.GetUnit(unit_name(service)))
    print(unit.Get('org.freedesktop.systemd1.Unit', 'ActiveState',
                   dbus_interface='org.freedesktop.DBus.Properties'))


BUS_CONFIG = '''<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path={socket}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
'''


def serve(folder, descriptions):
    config = os.path.join(folder, 'bus.conf')
    with open(config, 'w', encoding='utf-8') as out:
        out.write(BUS_CONFIG.format(socket=os.path.join(folder, 'system_bus_socket')))
    daemon = subprocess.Popen(['dbus-daemon', '--nofork', '--config-file=' + config,
                               '--print-address'], stdout=subprocess.PIPE, text=True)
    address = daemon.stdout.readline().strip()
    os.environ['DBUS_SYSTEM_BUS_ADDRESS'] = address
    with open(os.path.join(folder, 'mock.log'), 'w', encoding='utf-8') as log:
        mock = subprocess.Popen([sys.executable, '-m', 'dbusmock', '--template', 'systemd'],
                                stdout=log, stderr=subprocess.STDOUT)
    try:
        install(descriptions)
        print('DBUS_SYSTEM_BUS_ADDRESS=' + address, flush=True)
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        pass
    finally:
        mock.terminate()
        mock.wait()
        daemon.terminate()
        daemon.wait()


def main(argv):
    if len(argv) >= 2 and argv[1] == 'install':
        install(argv[2:])
    elif len(argv) >= 3 and argv[1] == 'serve':
        signal.signal(signal.SIGTERM, signal.default_int_handler)
        serve(argv[2], argv[3:])
    elif len(argv) == 3 and argv[1] == 'state':
        state(argv[2])
    else:
        sys.exit(__doc__)


if __name__ == '__main__':
    main(sys.argv)
