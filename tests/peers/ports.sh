# Sourced by the peer scripts: the port of every test peer, from the base
# given as the scripts' third argument. Keep in step with tests/support/Peers.h.
base=${3:-${NEMBRA_PORT_BASE:-20000}}
PORT_HTTP=$((base + 0))        # nginx
PORT_HTTP_PROXY=$((base + 1))  # tinyproxy
PORT_SOCKS=$((base + 10))      # dante, no authentication (SOCKS 4 and 5)
PORT_SOCKS_AUTH=$((base + 11)) # dante, user name and password (SOCKS 5)
PORT_SSH_SOCKS=$((base + 12))  # ssh -D: SOCKS 4, 4A and 5
PORT_SSHD=$((base + 13))       # the sshd behind ssh -D
PORT_VSFTPD=$((base + 20))
PORT_PUREFTPD=$((base + 21))
PORT_PROFTPD=$((base + 22))
PORT_DNS=$((base + 30))        # dnsmasq, UDP
PORT_FINGER=79                 # efingerd: the finger client uses the service port
# Passive data ports of the FTP servers.
PASV_VSFTPD_MIN=$((base + 100)); PASV_VSFTPD_MAX=$((base + 199))
PASV_PUREFTPD_MIN=$((base + 200)); PASV_PUREFTPD_MAX=$((base + 299))
PASV_PROFTPD_MIN=$((base + 300)); PASV_PROFTPD_MAX=$((base + 399))
