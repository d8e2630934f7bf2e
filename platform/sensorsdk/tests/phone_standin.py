#!/usr/bin/python3
"""phone_standin.py COMMAND...: runs COMMAND with CRATERDIP_PHONE naming a stand-in phone on 127.0.0.1."""
# The phone answers /get, /control and /config as phyphox's remote access does, in the forms real phones use.
# A line "standin QUERY" on the command's output steers it:
#   acc=X,Y,Z    the accelerations in m/s^2 ("nan" and "inf" too)
#   measuring=0  paused (until /control?cmd=start), its buffers keeping their last values
#   countdown=S  a timed run: a start begins measuring S seconds later; a second start during the countdown
#                cancels it on an iPhone and is ignored on Android
#   os=android   numbers as Java writes them ("-2.947733E0"), null for NaN and infinity, connections kept
#   os=ios       plain numbers, "nan" and "inf" as strings, "Connection: close" after every answer
#   os=old       Android before 1.2.0: one request per connection, closed unannounced, and no /config
#   config=g     the experiment "Acceleration with g"; =linear "Acceleration (without g)"; =none no /config
#   down=1       each /get closed unanswered (0: answered)
#   next=ANSWER  the next /get only: "error" answers HTTP 500, "trickle" sends its bytes slowly, anything
#                else is the body
#   trickle=trickle  every /get trickles (nothing: none)
# Right after the measurement begins, each buffer reads [null] for one /get.
import http.server
import json
import math
import os
import subprocess
import sys
import threading
import time
from urllib.parse import parse_qs, urlsplit

phone = {'acc': ['0,0,9.81'], 'measuring': ['1'], 'countdown': ['0'], 'os': ['android'], 'config': ['g'],
         'down': ['0'], 'next': [''], 'trickle': ['']}
run = {'fresh': False, 'timer': None, 'ends': 0.0}  # values not there yet; a countdown under way, its end
steering = threading.Lock()
SOURCES = {'g': ('Acceleration with g', 'accelerometer'),
           'linear': ('Acceleration (without g)', 'linear_acceleration')}


def number(value, system):
    """One buffer value as that phone writes it."""
    if not math.isfinite(value):
        return json.dumps(str(value)) if system == 'ios' else 'null'
    mantissa, exponent = ('%.7E' % value).split('E')  # Java's DecimalFormat "0.#######E0"
    return repr(value) if system == 'ios' else '%sE%d' % (mantissa.rstrip('0').rstrip('.'), int(exponent))


def begin():
    with steering:
        phone['measuring'], run['fresh'], run['timer'] = ['1'], True, None


def start():
    """/control?cmd=start, which phyphox acts on after it answers."""
    with steering:
        seconds = float(phone['countdown'][0])
        if run['timer'] and phone['os'] == ['ios']:
            run['timer'] = run['timer'].cancel()
        elif phone['measuring'] != ['1'] and not run['timer']:
            run['timer'], run['ends'] = threading.Timer(max(seconds, 0.01), begin), time.monotonic() + seconds
            run['timer'].start()


def get_document():
    with steering:
        system, measuring, timed = phone['os'][0], phone['measuring'] == ['1'], float(phone['countdown'][0]) > 0
        values = [float(value) for value in phone['acc'][0].split(',')]
        lacking, run['fresh'] = run['fresh'] and measuring, run['fresh'] and not measuring
        left = max(0, int(1000 * (run['ends'] - time.monotonic()))) if run['timer'] else 0
        session = '5a1e2b-' + phone['config'][0]  # a new one for each experiment opened
    buffers = ','.join('"%s":{"size":0,"updateMode":"single","buffer":[%s]}'
                       % (name, 'null' if lacking else number(value, system))
                       for name, value in zip(('accX', 'accY', 'accZ'), values))
    # Android says whether a timed run is set; an iPhone, whether the timer of a run is going.
    timed = timed and (measuring or system != 'ios')
    return ('{"buffer":{%s},\n"status":{"session":"%s","measuring":%s,"timedRun":%s,"countDown":%d}}'
            % (buffers, session, json.dumps(measuring), json.dumps(timed), left)).encode()


def config_document(experiment):
    outputs = [{'x': 'accX'}, {'y': 'accY'}, {'z': 'accZ'}, {'t': 'acc_time'}]
    return json.dumps({'title': SOURCES[experiment][0], 'buffers': [{'name': list(o.values())[0]} for o in outputs],
                       'inputs': [{'source': SOURCES[experiment][1], 'outputs': outputs}]}).encode()


class Phone(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'  # connections kept open between requests unless the phone closes them

    def reply(self, body, status=200):
        self.send_response(status)
        self.send_header('Content-Length', str(len(body)))
        if self.system == 'ios':
            self.send_header('Connection', 'close')
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = self.close_connection or self.system == 'old'  # closed, though unannounced

    def do_GET(self):
        url = urlsplit(self.path)
        with steering:
            self.system, experiment = phone['os'][0], phone['config'][0]
            answer = phone['next'][0] or phone['trickle'][0]
            down = phone['down'] == ['1']
            if url.path == '/get':
                phone['next'] = ['']
        if url.path == '/control' and url.query == 'cmd=start':
            self.reply(b'{"result": true}')
            return start()
        if url.path == '/config' and self.system != 'old' and experiment in SOURCES:
            return self.reply(config_document(experiment))
        if down or url.path != '/get':
            self.close_connection = True
            return self.reply(b'', 404) if not down else None
        body = get_document()
        if answer == 'error':
            self.reply(b'{"error": "busy"}', 500)
        elif answer == 'trickle':
            for byte in b'HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n%s' % (len(body), body):
                self.wfile.write(bytes([byte]))
                time.sleep(0.01)
        else:
            self.reply(answer.encode() or body)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Phone)
server.handle_error = lambda request, address: None  # a client that gave up on a trickle
threading.Thread(target=server.serve_forever, daemon=True).start()
env = dict(os.environ, CRATERDIP_PHONE='127.0.0.1:%d' % server.server_address[1])
command = subprocess.Popen(sys.argv[1:], env=env, stdout=subprocess.PIPE, text=True)
for line in command.stdout:
    if line.startswith('standin '):
        with steering:
            phone.update(parse_qs(line[len('standin '):].rstrip('\n'), keep_blank_values=True))
    else:
        print(line, end='', flush=True)
sys.exit(command.wait())
