/* The directory pages: selection, editing in place, photo preview,
 * confirmations and the CSV column mapping. Data comes from the rows'
 * data- attributes; nothing of it is ever put into script text. */
(function () {
  "use strict";

  function say(text) {
    var words = window.LANG || {};
    return Object.prototype.hasOwnProperty.call(words, text) ? words[text] : text;
  }
  function byId(id) { return document.getElementById(id); }
  function each(selector, fn) {
    var nodes = document.querySelectorAll(selector);
    for (var i = 0; i < nodes.length; i++) fn(nodes[i]);
  }
  function choose(select, value) {
    for (var i = 0; i < select.options.length; i++) {
      if (select.options[i].value === value) { select.selectedIndex = i; return true; }
    }
    return false;
  }

  function contactList() {
    var form = byId("listForm");
    if (!form) return;
    var pressed = null;
    each("#listForm button[type=submit]", function (button) {
      button.addEventListener("click", function () { pressed = button; });
    });
    if (!form.querySelector("tbody tr")) byId("noContacts").hidden = false;
    if (byId("directory").getAttribute("data-photos") !== "false") {
      each("#listForm tbody tr[data-photo]", function (row) {
        var value = row.getAttribute("data-photo");
        if (!value) return;
        var img = document.createElement("img");
        img.className = "thumb";
        img.alt = "";
        img.loading = "lazy";
        img.src = "/servlet?p=contactsbasic&q=photo&name=" + encodeURIComponent(value);
        row.querySelector("td.name").insertBefore(img, row.querySelector("td.name").firstChild);
      });
    }
    form.addEventListener("submit", function (event) {
      var picked = [];
      each("#listForm input.pick:checked", function (box) { picked.push(box.value); });
      var all = pressed && pressed.id === "deleteAll";
      if (!all && picked.length === 0) {
        event.preventDefault();
        window.alert(say("Select one or more contacts first."));
        return;
      }
      var question = pressed && pressed.getAttribute("data-confirm");
      if (question && !window.confirm(say(question))) { event.preventDefault(); return; }
      byId("record").value = all ? "*" : picked.join(",");
    });
  }

  /* Calls go out from the phone itself; the page only asks for them. */
  function calls() {
    var status = byId("callStatus");
    if (!status || !window.fetch) return;
    function ask(query, body, done) {
      window.fetch("/servlet?p=contactsbasic&q=" + query, {
        method: "POST", credentials: "same-origin", body: new URLSearchParams(body)
      }).then(function (answer) { return answer.text(); })
        .then(done, function () { done("call failed"); });
    }
    function tell(text, number) { status.firstChild.textContent = say(text) + (number ? " " + number : "") + " "; }
    each("#listForm button.dial", function (button) {
      button.title = say("Call");
      button.addEventListener("click", function () {
        var number = button.getAttribute("data-number");
        var account = button.closest("tr").getAttribute("data-account") || "-1";
        if (parseInt(account, 10) < 0) account = "-1";
        tell("Calling", number);
        ask("call", { num: number, acc: account }, function (text) {
          tell(text.trim() === "call success" ? "The phone is calling." : "The call could not be placed.");
        });
      });
    });
    byId("hangUp").addEventListener("click", function () {
      ask("hangup", {}, function () { tell("The call was ended."); });
    });
  }

  function showPhoto(value) {
    var img = byId("photoPreview");
    if (!img) return;
    img.hidden = !value;
    if (value) img.src = "/servlet?p=contactsbasic&q=photo&name=" + encodeURIComponent(value);
  }

  function contactForm() {
    var form = byId("contactForm");
    if (!form) return;
    var addAction = form.getAttribute("action");
    var photo = byId("Photo");
    photo.addEventListener("change", function () { showPhoto(photo.value); });
    var group = byId("directory").getAttribute("data-group");
    function addMode() {
      form.setAttribute("action", addAction);
      byId("OldName").value = "";
      byId("contactTitle").textContent = say("Add Contact");
      byId("saveContact").textContent = say("Add");
    }
    form.addEventListener("reset", function () {
      window.setTimeout(function () { addMode(); choose(byId("ConGroup"), group); showPhoto(photo.value); }, 0);
    });
    each("#listForm button.edit", function (button) {
      button.addEventListener("click", function () {
        var row = button.closest("tr");
        var data = function (name) { return row.getAttribute("data-" + name) || ""; };
        form.setAttribute("action", form.getAttribute("data-edit-action"));
        byId("OldName").value = data("name");
        byId("DisplayName").value = data("name");
        byId("OfficeNum").value = data("office");
        byId("MobileNumber").value = data("mobile");
        byId("OtherNum").value = data("other");
        choose(byId("varAccount"), data("account"));
        choose(byId("RingTone"), data("ring"));
        choose(photo, data("photo")) || choose(photo, photo.options.length ? photo.options[0].value : "");
        var groups = byId("ConGroup");
        for (var i = 0; i < groups.options.length; i++) {
          if (groups.options[i].getAttribute("data-name") === data("group-name")) groups.selectedIndex = i;
        }
        byId("contactTitle").textContent = say("Edit Contact");
        byId("saveContact").textContent = say("Save");
        showPhoto(photo.value);
        byId("DisplayName").focus();
        byId("contactCard").scrollIntoView();
      });
    });
    var wanted = byId("directory").getAttribute("data-select-photo");
    if (wanted) choose(photo, "Config:" + wanted);
    showPhoto(photo.value);
  }

  /* Built-in groups (All Contacts, Blacklist) cannot be renamed or deleted. */
  function groupForms() {
    var directory = byId("directory");
    if (!directory) return;
    var id = parseInt(directory.getAttribute("data-group"), 10);
    if (id >= 2) {
      byId("renameGroup").hidden = false;
      byId("deleteGroupForm").hidden = false;
      byId("GroupInfo").value = byId("oldGroupName").value;
      choose(byId("GroupRing"), byId("renameGroup").getAttribute("data-ring"));
    }
    /* Only the user's own photos can be deleted. */
    var removable = byId("deletePhotoName");
    for (var i = removable.options.length - 1; i >= 0; i--) {
      if (removable.options[i].value.indexOf("Config:") !== 0) removable.remove(i);
    }
    if (!removable.options.length) byId("deletePhotoForm").hidden = true;
    if (directory.getAttribute("data-photos") === "false") {
      byId("photoCard").hidden = true;
      each(".photo-row", function (row) { row.hidden = true; });
    }
  }

  function columnMapping() {
    var form = byId("importForm");
    if (!form) return;
    form.addEventListener("submit", function (event) {
      var values = [];
      each("#importForm select.column", function (select) { values.push(select.value); });
      byId("arrcol").value = values.join(",");
      if (byId("delOld").checked && !window.confirm(say(form.getAttribute("data-confirm-replace")))) {
        event.preventDefault();
      }
    });
  }

  document.addEventListener("DOMContentLoaded", function () {
    contactList();
    calls();
    contactForm();
    groupForms();
    columnMapping();
  });
})();
