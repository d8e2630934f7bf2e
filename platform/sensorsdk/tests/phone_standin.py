#!/usr/bin/python3
"""phone_standin.py COMMAND...: runs COMMAND with CRATERDIP_PHONE naming a stand-in phone on 127.0.0.1."""
# The phone answers /get and /control as phyphox's remote access does for "Acceleration with g". A line
# "standin QUERY" on the command's output steers it: acc=X,Y,Z (m/s^2), measuring=0 (until
# /control?cmd=start), down=1 (each /get closed unanswered) or 0, next=ANSWER (the next /get only: "error"
# answers HTTP 500, "trickle" sends its bytes slowly, anything else is the body), trickle=trickle (every /get
# trickles) or nothing.
import http.server
import json
import os
import subprocess
import sys
import threading
import time
from urllib.parse import parse_qs, urlsplit

phone = {'acc': ['0,0,9.81'], 'measuring': ['1'], 'down': ['0'], 'next': [''], 'trickle': ['']}
steering = threading.Lock()


class Phone(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'  # connections kept open between requests, as the phone's server does

    def reply(self, body, status=200):
        self.send_response(status)
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        url = urlsplit(self.path)
        with steering:
            if url.path == '/control' and url.query == 'cmd=start':
                phone['measuring'] = ['1']
                return self.reply(b'{"result": true}')
            answer, phone['next'] = phone['next'][0] or phone['trickle'][0], ['']
            measuring, down = phone['measuring'] == ['1'], phone['down'] == ['1']
            acc = phone['acc'][0].split(',')
        buffers = {name: {'size': 0, 'updateMode': 'single', 'buffer': [float(value)] if measuring else []}
                   for name, value in zip(('accX', 'accY', 'accZ'), acc)}
        status = {'session': '5a1e2b', 'measuring': measuring, 'timedRun': False, 'countDown': 0}
        body = json.dumps({'buffer': buffers, 'status': status}).encode()
        if down or url.path != '/get':
            self.close_connection = True
        elif answer == 'error':
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
