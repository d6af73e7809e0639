// The live page: the values VESK pushes over /live, shown in the elements that carry their
// name in data-field, and drawn with Chart.js (Debian's libjs-chart.js) when it is there.
// The connection is watched: a closed socket, or one that has been silent for a while, is
// shown as lost and opened again.
"use strict";

(() => {
  const RECONNECT_MS = 2000;
  const REFUSED_RECONNECT_MS = 10000;  // VESK refused the page (too many browsers)
  const SILENT_MS = 4000;              // VESK pushes at least once a second
  const SERIES_SECONDS = 600;
  const CHART_PERIOD_MS = 1000;        // the time series are redrawn at most this often
  const BIN_WIDTH_UM = 15;
  const DASH = "\u2013";

  const fieldElements = new Map();
  for (const element of document.querySelectorAll("[data-field]")) {
    fieldElements.set(element.dataset.field, element);
  }
  const connection = document.getElementById("connection");

  // What tests and the latency benchmark read: every update's frame count and arrival time.
  const live = (window.veskLive = {
    connected: false, updates: [], status: null, histogramTotal: 0, lostCount: 0,
  });

  const fixed = (digits) => (v) => (v === null || v === undefined ? DASH : Number(v).toFixed(digits));
  const whole = (v) => (v === null || v === undefined ? DASH : String(Math.round(v)));
  const degrees = (positive, negative) => (v) => {
    if (v === null || v === undefined) return DASH;
    return `${Math.abs(v).toFixed(5)}\u00b0 ${v >= 0 ? positive : negative}`;
  };
  const duration = (s) => {
    if (!s) return DASH;
    const t = Math.floor(s);
    const pad = (n) => String(n).padStart(2, "0");
    return `${pad(Math.floor(t / 3600))}:${pad(Math.floor(t / 60) % 60)}:${pad(t % 60)}`;
  };
  const clock = (iso) => (iso ? `${iso.substring(11, 19)} UTC` : "");

  // How each value is shown: as the control bar shows it.
  const formats = {
    state: (v) => v,
    file: (v) => v || "",
    time_utc: (v) => (v ? `${v.substring(0, 10)} ${clock(v)}` : ""),
    scan_elapsed_s: duration,
    l_frames: whole,
    frame_interval_s: fixed(2),
    frame_errors: whole,
    total_count: whole,
    total_cps: whole,
    window_count: whole,
    mep_count: whole,
    mep_cps: whole,
    depth_m: fixed(2),
    temperature_degC: fixed(3),
    salinity_psu: fixed(3),
    analog: fixed(2),
    analog_caption: (v) => v || "ANALOG",
    counter_value: fixed(2),
    flow_speed_m_per_s: fixed(3),
    flow_counts: (v) => (Array.isArray(v) ? `${v[0]} / ${v[1]}` : DASH),
    laser_monitor: whole,
    laser_voltage: whole,
    sensor: whole,
    scale_factor: whole,
    latitude_deg_north: degrees("N", "S"),
    longitude_deg_east: degrees("E", "W"),
    gps_time: (v) => v || DASH,
  };

  function setText(name, text) {
    const element = fieldElements.get(name);
    if (element && element.textContent !== text) element.textContent = text;
  }

  function showStatus(status) {
    live.status = status;
    for (const [name, format] of Object.entries(formats)) {
      if (name in status) setText(name, format(status[name]));
    }
    const state = fieldElements.get("state");
    if (state) state.className = `state ${status.state}`;

    const age = fieldElements.get("fix_age_s");
    if (age) {
      age.textContent = status.fix_age_text || DASH;
      age.classList.toggle("stale", Boolean(status.fix_stale));
      age.title = status.fix_stale ? "The position is STALE: no fix came for a while." : "";
    }
    showAlarms(status.alarm_details || []);
    setText("last_remote_command", `Last remote command: ${status.last_remote_command}`);
    showMarks(status.marks || []);
    const profile = status.profile;
    setText("profile", profile
      ? `cast ${profile.number}, ${profile.direction}` +
        (profile.depth_bin_m === null ? "" : `, now in the ${profile.depth_bin_m} m bin`)
      : "no profile yet");
  }

  function showAlarms(alarms) {
    const list = fieldElements.get("alarms");
    if (!list) return;
    const key = JSON.stringify(alarms);
    if (list.dataset.shown === key) return;
    list.dataset.shown = key;
    list.replaceChildren();
    if (alarms.length === 0) {
      const item = document.createElement("li");
      item.className = "none";
      item.textContent = "No alarms";
      list.append(item);
      return;
    }
    for (const alarm of alarms) {
      const item = document.createElement("li");
      item.className = "raised";
      item.dataset.alarm = alarm.name;
      item.textContent = alarm.text || `ALARM: ${alarm.label}`;
      const since = document.createElement("span");
      since.className = "since";
      since.textContent = `since ${clock(alarm.since_utc)}`;
      item.append(since);
      list.append(item);
    }
  }

  function showMarks(marks) {
    const list = fieldElements.get("marks");
    if (!list) return;
    const key = marks.length ? `${marks.length}:${marks[marks.length - 1].mark}` : "";
    if (list.dataset.shown === key) return;
    list.dataset.shown = key;
    list.replaceChildren();
    for (const mark of marks) {
      const item = document.createElement("li");
      item.value = mark.mark;
      item.textContent = `${clock(mark.utc)}, L frame ${mark.l_frame_index}` +
        (mark.note ? `: ${mark.note}` : "");
      list.append(item);
    }
  }

  // --- charts ------------------------------------------------------------------------------
  const charts = {};
  const series = { first: 0, next: 0, depth_m: [], temperature_degC: [], total_cps: [],
                   flow_speed_m_per_s: [] };
  let seriesDrawn = 0;

  function makeCharts() {
    if (!window.Chart) {
      const note = document.getElementById("charts-note");
      if (note) note.textContent = "Charts are not shown: the plotting library (libjs-chart.js) is not installed.";
      return;
    }
    Chart.defaults.animation = false;
    Chart.defaults.maintainAspectRatio = false;
    Chart.defaults.plugins.legend.display = false;
    Chart.defaults.plugins.tooltip.enabled = true;
    const labels = Array.from({ length: 128 }, (_, k) => k * BIN_WIDTH_UM);
    charts.histogram = new Chart(document.getElementById("histogram"), {
      type: "bar",
      data: { labels, datasets: [{ data: new Array(128).fill(0), backgroundColor: "#1565c0",
                                   barPercentage: 1.0, categoryPercentage: 1.0 }] },
      options: { scales: {
        x: { title: { display: true, text: "equivalent spherical diameter (\u00b5m)" },
             ticks: { maxRotation: 0, autoSkipPadding: 16 } },
        y: { beginAtZero: true, title: { display: true, text: "counts" } } } },
    });
    const line = (id, name, colour) => new Chart(document.getElementById(id), {
      type: "line",
      data: { datasets: [{ data: [], borderColor: colour, borderWidth: 1.5, pointRadius: 0 }] },
      options: { parsing: false, normalized: true, scales: {
        x: { type: "linear", min: -SERIES_SECONDS, max: 0,
             title: { display: true, text: "seconds before now" } },
        y: { title: { display: false, text: name } } } },
    });
    charts.depth_m = line("series-depth", "depth_m", "#1565c0");
    charts.temperature_degC = line("series-temperature", "temperature_degC", "#c62828");
    charts.total_cps = line("series-cps", "total_cps", "#2e7d32");
    charts.flow_speed_m_per_s = line("series-flow", "flow_speed_m_per_s", "#6a1b9a");
    charts.depth_m.options.scales.y.reverse = true;
    const band = (colour) => ({ data: [], borderColor: colour, borderDash: [4, 3], borderWidth: 1,
                                pointRadius: 0 });
    charts.profile = new Chart(document.getElementById("profile"), {
      type: "line",
      data: { datasets: [
        { data: [], borderColor: "#1565c0", borderWidth: 2, pointRadius: 2 },
        band("#90a4ae"), band("#90a4ae")] },
      options: { parsing: false, indexAxis: "y", scales: {
        x: { type: "linear", title: { display: true, text: "concentration (particles per m\u00b3)" } },
        y: { type: "linear", reverse: true, title: { display: true, text: "depth (m)" } } } },
    });
  }

  function showHistogram(histogram) {
    live.histogramTotal = histogram.counts.reduce((a, b) => a + b, 0);
    setText("histogram_total", `${histogram.total_count} counts`);
    const chart = charts.histogram;
    if (!chart) return;
    const data = chart.data.datasets[0].data;
    if (histogram.counts.every((v, k) => v === data[k])) return;
    chart.data.datasets[0].data = histogram.counts;
    chart.update("none");
  }

  const seriesNames = ["depth_m", "temperature_degC", "total_cps", "flow_speed_m_per_s"];

  function takeSamples(samples, full) {
    if (full || samples.next < series.next) {
      // The history when the page connects, or a new scan's (its samples count from 0).
      for (const name of seriesNames) series[name] = samples[name].slice();
      series.first = samples.first;
    } else if (samples.first <= series.next) {
      // The samples since the last push, of which the page may have some already.
      const skip = series.next - samples.first;
      for (const name of seriesNames) series[name].push(...samples[name].slice(skip));
    } else {
      // Samples were missed (the page was asleep): the history again.
      fetch(`/api/timeseries?seconds=${SERIES_SECONDS}`)
        .then((response) => response.json())
        .then((history) => takeSamples(history, true))
        .catch(() => {});
      return;
    }
    series.next = samples.next;
    const excess = series.depth_m.length - SERIES_SECONDS;
    if (excess > 0) {
      for (const name of seriesNames) series[name].splice(0, excess);
      series.first += excess;
    }
    if (performance.now() - seriesDrawn >= CHART_PERIOD_MS) drawSeries();
  }

  function drawSeries() {
    seriesDrawn = performance.now();
    const last = series.next - 1;
    for (const name of seriesNames) {
      const chart = charts[name];
      if (!chart) continue;
      chart.data.datasets[0].data = series[name].map((y, i) => ({ x: series.first + i - last, y }));
      chart.update("none");
    }
  }

  function showProfile(profile) {
    document.getElementById("profile-plot").classList.toggle("empty", !profile);
    const chart = charts.profile;
    if (!chart) return;
    const bins = profile ? profile.bins : [];
    const [mean, low, high] = chart.data.datasets;
    mean.data = bins.map((b) => ({ x: b.concentration_per_m3, y: b.depth_m }));
    low.data = bins.map((b) => ({ x: b.ci95_low, y: b.depth_m }));
    high.data = bins.map((b) => ({ x: b.ci95_high, y: b.depth_m }));
    chart.update("none");
  }

  // --- the connection ----------------------------------------------------------------------
  let socket = null;
  let lastMessage = 0;
  let lostAt = null;

  function showConnection(state, text) {
    connection.dataset.state = state;
    connection.textContent = text;
  }

  function lost(reason) {
    live.connected = false;
    if (lostAt === null) {
      lostAt = new Date();
      live.lostCount += 1;
    }
    const when = lostAt.toISOString().substring(11, 19);
    showConnection("lost", `Connection to VESK lost at ${when} UTC${reason ? ` (${reason})` : ""}` +
                           " \u2013 reconnecting...");
  }

  function connect() {
    const scheme = location.protocol === "https:" ? "wss://" : "ws://";
    socket = new WebSocket(`${scheme}${location.host}/live`);
    socket.onopen = () => { lastMessage = Date.now(); };
    socket.onmessage = (event) => {
      lastMessage = Date.now();
      const message = JSON.parse(event.data);
      const full = message.type === "full";
      if (!live.connected) {
        live.connected = true;
        showConnection("live", lostAt === null ? "Live"
          : `Live \u2013 reconnected at ${new Date().toISOString().substring(11, 19)} UTC`);
        lostAt = null;
      }
      showStatus(message.status);
      showHistogram(message.histogram);
      takeSamples(message.samples, full);
      if ("profile" in message) showProfile(message.profile);
      live.updates.push({ l_frames: message.status.l_frames, at: Date.now() });
      if (live.updates.length > 5000) live.updates.splice(0, 1000);
    };
    socket.onclose = (event) => {
      socket = null;
      lost(event.reason);
      setTimeout(connect, event.code === 1008 ? REFUSED_RECONNECT_MS : RECONNECT_MS);
    };
  }

  // A socket that stays open but brings nothing (VESK stopped, a network gone quiet) is lost
  // too: closed, and opened again.
  setInterval(() => {
    if (socket && live.connected && Date.now() - lastMessage > SILENT_MS) {
      const silent = socket;
      socket = null;
      silent.onclose = null;
      silent.onmessage = null;
      silent.close();
      lost("no data");
      setTimeout(connect, RECONNECT_MS);
    }
  }, 1000);

  makeCharts();
  connect();
})();
