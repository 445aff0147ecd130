// Controls.
